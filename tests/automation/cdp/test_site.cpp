#include "test_site.h"

#include <httplib.h>
#include <signal.h>

#include <chrono>

#include "simulator/loopback_server.h"

namespace vidralo::cdp::test {
namespace {

constexpr const char* kHead = "<!doctype html><html><head><meta charset=\"utf-8\"><title>test</title></head><body>";

// Every page shows "ready:<name>" once it is complete, so that a test can
// wait for exactly that page.
std::string page(const std::string& name, const std::string& body) {
  return std::string(kHead) + body + "<div id=\"ready\">ready:" + name + "</div></body></html>";
}

const std::string kMarkerPage = std::string(kHead) + R"(<div id="late"></div>
<script>setTimeout(() => { document.getElementById('late').textContent = '视频拖拽'; }, 300);</script>
</body></html>)";

const std::string kFormPage = page("form", R"(
<p class="user-name">小明 "引号" &lt;b&gt;</p>
<input id="name" value="old text">
<textarea class="textarea">旧标题</textarea>
<div id="editor" contenteditable="true">old</div>
<div id="echo"></div><div id="changes"></div><div id="clicks"></div>
<iframe src="/frame" style="width:400px;height:150px"></iframe>
<button id="hidden" style="display:none">hidden</button>
<button id="far" style="margin-top:3000px">发布</button>
<script>
const echo = (text) => { document.getElementById('echo').textContent = text; };
document.getElementById('name').addEventListener('input', e => echo(e.target.value));
document.querySelector('.textarea').addEventListener('input', e => echo(e.target.value));
document.getElementById('editor').addEventListener('input', e => echo(e.target.textContent));
document.addEventListener('change', e => { document.getElementById('changes').textContent += e.target.id || e.target.className; });
const clicks = [];
for (const id of ['far', 'hidden']) document.getElementById(id).addEventListener('click', e => {
  clicks.push(id + ':' + e.isTrusted);
  document.getElementById('clicks').textContent = clicks.join(',');
});
</script>)");

const std::string kFramePage = page("frame", R"(
<span class="inner">框架里的字</span><input id="inner-input"><div id="inner-echo"></div>
<button id="inner-button">b</button>
<script>
document.getElementById('inner-input').addEventListener('input', e => {
  document.getElementById('inner-echo').textContent = e.target.value; });
document.getElementById('inner-button').addEventListener('click', e => {
  document.getElementById('inner-echo').textContent = 'clicked:' + e.isTrusted; });
</script>)");

const std::string kUploadPage = page("upload", R"(
<div class="video-status">等待</div><input type="file" id="file" style="display:none">
<script>
document.getElementById('file').addEventListener('change', async (e) => {
  const file = e.target.files[0];
  const status = document.querySelector('.video-status');
  status.textContent = '上传中';
  const answer = await fetch('/receive?name=' + encodeURIComponent(file.name), {method: 'POST', body: file});
  status.textContent = answer.ok ? '上传完成' : '失败';
});
</script>)");

const std::string kDialogPage = page("dialogs", R"(<div id="result"></div>
<script>
alert('欢迎');
const confirmed = confirm('确定?');
const named = prompt('名字?', '默认');
document.getElementById('result').textContent = confirmed + ' ' + named;
</script>)");

const std::string kCounterPage = page("counter", R"(<div id="count"></div>
<script>
const count = Number(sessionStorage.getItem('loads') || 0) + 1;
sessionStorage.setItem('loads', count);
document.getElementById('count').textContent = count;
</script>)");

const std::string kPopupPage = page("popup", R"(<button id="open" style="width:200px;height:50px">open</button>
<script>document.getElementById('open').addEventListener('click', () => window.open('/counter'));</script>)");

// The marker is in a script, a hidden element, an attribute and a comment,
// yet shown only after a click on #show; "标题标记" is shown as the title.
const std::string kHiddenMarkerPage = page("hidden-marker", R"(<!-- 视频拖拽 -->
<div data-hint="视频拖拽"></div><div style="display:none">视频拖拽</div>
<button id="show">show</button><div id="later"></div>
<script>
const texts = {hint: "视频拖拽"};
document.title = '标题标记';
document.getElementById('show').addEventListener('click', () => {
  document.getElementById('later').textContent = texts.hint; });
</script>)");
// A script that never returns once #spin is clicked.
const std::string kBusyPage = page("busy", R"(<div>视频拖拽</div><button id="spin">spin</button>
<script>document.getElementById('spin').addEventListener('click', () => { for (;;) {} });</script>)");
// A drop zone that makes its file input only when clicked; the input never
// joins the document.
const std::string kDropZonePage = page("dropzone", R"(<div class="video-status">等待</div>
<div class="drop"><span>将视频拖拽到此处</span></div>
<script>
document.querySelector('.drop').addEventListener('click', () => {
  const input = document.createElement('input');
  input.type = 'file';
  input.addEventListener('change', async () => {
    const file = input.files[0];
    const answer = await fetch('/receive?name=' + encodeURIComponent(file.name), {method: 'POST', body: file});
    document.querySelector('.video-status').textContent = answer.ok ? '上传完成' : '失败';
  });
  input.click();
});
</script>)");

}  // namespace

TestSite::TestSite() : server_(std::make_unique<sim::LoopbackServer>()) {
  httplib::Server& routes = server_->server();
  // The server writes without MSG_NOSIGNAL; an answer to a browser that a
  // test killed must not end the test process.
  ::signal(SIGPIPE, SIG_IGN);
  auto serve = [&routes](const char* path, const std::string& body) {
    routes.Get(path, [&body](const httplib::Request&, httplib::Response& response) {
      response.set_content(body, "text/html; charset=utf-8");
    });
  };
  serve("/marker", kMarkerPage);
  serve("/form", kFormPage);
  serve("/frame", kFramePage);
  serve("/upload", kUploadPage);
  serve("/dialogs", kDialogPage);
  serve("/counter", kCounterPage);
  serve("/popup", kPopupPage);
  serve("/hidden-marker", kHiddenMarkerPage);
  serve("/busy", kBusyPage);
  serve("/dropzone", kDropZonePage);
  // Frames from the addresses given as ?a= and ?b=, one after the other,
  // and a button that loads them again.
  routes.Get("/frames", [](const httplib::Request& request, httplib::Response& response) {
    std::string body;
    for (const char* key : {"a", "b"})
      body += "<iframe src=\"" + request.get_param_value(key) + "\" style=\"width:400px;height:150px\"></iframe>";
    body += R"(<button id="reload-frames">reload</button><script>
document.getElementById('reload-frames').addEventListener('click', () => {
  for (const frame of document.querySelectorAll('iframe')) frame.src = frame.src; });
</script>)";
    response.set_content(page("frames", body), "text/html; charset=utf-8");
  });
  routes.Post("/receive", [this](const httplib::Request& request, httplib::Response& response) {
    std::lock_guard lock(mutex_);
    receivedBytes_ = request.body;
    receivedName_ = request.get_param_value("name");
    response.set_content("ok", "text/plain");
  });
  auto counted = [this](const httplib::Request& request) {
    std::lock_guard lock(mutex_);
    return ++requests_[request.path];
  };
  routes.Get("/no-content", [counted](const httplib::Request& request, httplib::Response& response) {
    counted(request);
    response.status = 204;
  });
  routes.Get("/aborted-twice", [counted](const httplib::Request& request, httplib::Response& response) {
    if (counted(request) <= 2) response.status = 204;
    else response.set_content(page("after-aborts", ""), "text/html; charset=utf-8");
  });
  routes.Get("/hang", [this](const httplib::Request&, httplib::Response& response) {
    std::unique_lock lock(mutex_);
    hangRequested_ = true;
    changed_.notify_all();
    changed_.wait_for(lock, std::chrono::seconds(30), [this] { return released_; });
    response.set_content(page("hang", ""), "text/html; charset=utf-8");
  });
  server_->start(0);
}

TestSite::~TestSite() {
  release();
  server_->stop();
}

std::string TestSite::url(const std::string& path) const { return server_->origin() + path; }

int TestSite::requestCount(const std::string& path) const {
  std::lock_guard lock(mutex_);
  const auto found = requests_.find(path);
  return found == requests_.end() ? 0 : found->second;
}

std::string TestSite::receivedBytes() const {
  std::lock_guard lock(mutex_);
  return receivedBytes_;
}

std::string TestSite::receivedName() const {
  std::lock_guard lock(mutex_);
  return receivedName_;
}

bool TestSite::waitHangRequested() {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::seconds(20), [this] { return hangRequested_; });
}

void TestSite::release() {
  std::lock_guard lock(mutex_);
  released_ = true;
  changed_.notify_all();
}

}  // namespace vidralo::cdp::test
