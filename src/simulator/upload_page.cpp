#include "simulator/upload_page.h"

namespace vidralo::sim {
namespace {

// The page talks to the server in three requests: begin an upload, send its
// pieces in order (the answer says how many bytes the server holds), publish.
constexpr std::string_view kPage = R"PAGE(<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta charset="utf-8">
<title>创作者平台 - 发表视频</title>
<style>
  body { font-family: sans-serif; margin: 24px; }
  .header { display: flex; justify-content: space-between; margin-bottom: 16px; }
  .upload-drop { display: block; border: 2px dashed #999; padding: 40px; text-align: center; cursor: pointer; }
  .video-status { margin: 12px 0; }
  .textarea { display: block; width: 100%; height: 60px; margin: 12px 0; }
  .operate-btn { padding: 6px 16px; background: #ccc; border: 0; }
  .operate-btn.active { background: #07c160; color: #fff; }
  .dialog-mask { position: fixed; inset: 0; background: rgba(0, 0, 0, 0.3); }
  .dialog { background: #fff; margin: 120px auto; width: 320px; padding: 16px; }
  .publish-success { color: #07c160; font-weight: bold; margin: 12px 0; }
  .login-picture { display: block; width: 168px; height: 168px; margin: 12px 0; }
</style>
</head>
<body>
<div id="app">加载中…</div>
<script>
"use strict";
const pageState = /*PAGE_STATE*/null;
const app = document.getElementById("app");
let currentUpload = null;  // { id, file, complete }

function element(tag, className, text) {
  const node = document.createElement(tag);
  if (className) node.className = className;
  if (text !== undefined) node.textContent = text;
  return node;
}

function sleep(ms) { return new Promise(resolve => setTimeout(resolve, ms)); }

async function post(url, body) {
  const response = await fetch(url, { method: "POST", body: body, credentials: "same-origin" });
  if (!response.ok) {
    const answer = await response.json().catch(() => ({}));
    throw new Error(answer.error || "HTTP " + response.status);
  }
  return response.json();
}

// A hidden toast (hiddenSign) stays, as web apps keep theirs.
function clearPublishedSign() {
  for (const sign of document.querySelectorAll(".publish-success:not(.kept-toast)")) sign.remove();
}

function setStatus(text) {
  let status = document.querySelector(".video-status");
  if (!status) {
    status = element("div", "video-status");
    document.querySelector(".upload-drop").after(status);
  }
  status.textContent = text;
}

// One dialog at a time; it leaves the page when answered, so that the
// confirm button of a later dialog is the only one of its kind.
function showDialog(question, onConfirm, onCancel) {
  const old = document.querySelector(".dialog-mask");
  if (old) old.remove();
  const mask = element("div", "dialog-mask");
  const dialog = element("div", "dialog");
  const cancel = element("button", "btn cancel-btn", "取消");
  const confirm = element("button", "btn confirm-btn ant-btn ant-btn-primary", "确定");
  cancel.addEventListener("click", () => { mask.remove(); if (onCancel) onCancel(); });
  confirm.addEventListener("click", () => { mask.remove(); if (onConfirm) onConfirm(); });
  dialog.append(element("p", "dialog-text", question), cancel, confirm);
  mask.append(dialog);
  document.body.append(mask);
}

async function sendFile(upload) {
  const begun = await post("/sim/upload/begin?name=" + encodeURIComponent(upload.file.name) +
                           "&size=" + upload.file.size);
  upload.id = begun.id;
  let offset = 0;
  let pieceSize = begun.pieceSize;
  let pauseMs = begun.pauseMs;
  while (currentUpload === upload) {
    const piece = upload.file.slice(offset, Math.min(upload.file.size, offset + pieceSize));
    const answer = await post("/sim/upload/piece?id=" + upload.id + "&offset=" + offset, piece);
    if (currentUpload !== upload) return;
    offset = answer.received;
    if (answer.complete) {
      upload.complete = true;
      setStatus("上传完成");
      document.querySelector(".operate-btn.confirm").classList.add("active");
      return;
    }
    setStatus("上传中 " + Math.floor(offset * 100 / upload.file.size) + "%");
    if (answer.stalled) return;
    pieceSize = answer.pieceSize;
    pauseMs = answer.pauseMs;
    if (pauseMs > 0) await sleep(pauseMs);
  }
}

function fileChosen(input, titleBox) {
  const file = input.files[0];
  if (!file) return;
  const upload = { id: "", file: file, complete: false };
  currentUpload = upload;
  clearPublishedSign();
  document.querySelector(".operate-btn.confirm").classList.remove("active");
  titleBox.value = file.name.replace(/\.[^.]*$/, "");
  setStatus("上传中 0%");
  showDialog("是否自行填写标题？（取消则以文件名作标题）", () => { titleBox.value = ""; titleBox.focus(); });
  sendFile(upload).catch(() => { if (currentUpload === upload) setStatus("上传失败"); });
}

function publishClicked(titleBox) {
  const upload = currentUpload;
  if (!upload || !upload.complete) return;
  showDialog("确定发表该视频吗？", async () => {
    try {
      await post("/sim/publish?id=" + upload.id, titleBox.value);
      currentUpload = null;
      setStatus("发表成功");
      document.querySelector(".operate-btn.confirm").classList.remove("active");
      titleBox.value = "";
      document.querySelector(".operate-btn.confirm").after(element("div", "publish-success", "发表成功"));
    } catch (error) {
      setStatus("发表失败");
      showDialog("发表失败：" + error.message);
    }
  });
}

// The log-in page: a picture of the log-in code for a phone to scan. Once
// the phone has confirmed the code, the answer brings the log-in cookie and
// the page goes on to the upload page.
function renderLogIn() {
  const code = encodeURIComponent(pageState.loginCode);
  const picture = element("img", "login-picture");
  picture.src = "/sim/login/picture?code=" + code;
  picture.alt = "登录二维码";
  app.replaceChildren(element("p", "login-tip", "请先登录创作者平台"), picture,
                      element("p", "login-hint", "请用手机扫码确认登录（" + pageState.loginCode + "）"));
  const ask = async () => {
    const answer = await fetch("/sim/login/state?code=" + code, { credentials: "same-origin" })
                           .then(response => response.json()).catch(() => ({}));
    // The log-in page is the upload page's address: a reload shows it logged in.
    if (answer.confirmed) location.reload();
    else setTimeout(ask, 500);
  };
  setTimeout(ask, 500);
}

function renderHome() {
  const header = element("div", "header");
  header.append(element("span", "brand", "创作者平台"));
  if (!pageState.hideNickname) header.append(element("span", "user-name", pageState.nickname));

  const titleBox = element("textarea", "textarea");
  titleBox.placeholder = "添加标题";
  const publishButton = element("button", "operate-btn confirm", "发表");

  const makeInput = () => {
    const input = element("input", "file-input");
    input.type = "file";
    input.accept = "video/mp4";
    input.hidden = true;
    input.addEventListener("change", () => fileChosen(input, titleBox));
    return input;
  };
  // The ready marker is put together here so that the page's source alone
  // never contains it: it shows up only once the upload area is rendered.
  const dropText = "将视频" + "拖拽到此处，或点击上传";
  let drop;
  if (pageState.inputOnClick) {
    // A drop zone that makes a file input only when clicked, never part of
    // the page.
    drop = element("div", "upload-drop", dropText);
    drop.addEventListener("click", () => makeInput().click());
  } else {
    drop = element("label", "upload-drop", dropText);
    drop.append(makeInput());
  }

  publishButton.addEventListener("click", () => publishClicked(titleBox));
  app.replaceChildren(header, drop, titleBox, publishButton);
  if (pageState.hiddenSign) {
    const toast = element("div", "publish-success kept-toast", "发表成功");
    toast.style.display = "none";
    app.append(toast);
  }
}

if (pageState.alertOnLoad) alert("欢迎使用创作者平台");
setTimeout(() => { if (pageState.nickname === null) renderLogIn(); else renderHome(); }, pageState.readyDelayMs);
</script>
</body>
</html>
)PAGE";

}  // namespace

std::string_view uploadPageTemplate() { return kPage; }

}  // namespace vidralo::sim
