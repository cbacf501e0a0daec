#include "app/status/status_page.h"

namespace vidralo {

std::string_view statusPageHtml() {
  return R"HTML(<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Vidralo 状态</title>
<style>
body{font-family:sans-serif;margin:0.8em;color:#222}
h1{font-size:1.3em;margin:0.2em 0}
h2{font-size:1.1em;margin:1em 0 0.3em}
#job{padding:0.5em;border-radius:4px;background:#eef}
#job.running{background:#e6f6e6}
.scroll{overflow-x:auto}
table{border-collapse:collapse;font-size:0.9em}
th,td{border:1px solid #ccc;padding:2px 6px;text-align:left;white-space:nowrap}
th{background:#f3f3f3}
tr.out td{background:#fde8e8}
.logins img{max-width:320px;border:1px solid #ccc;display:block}
.logins figure{display:inline-block;margin:0 1em 1em 0}
#error{color:#b00}
</style>
</head>
<body>
<h1>Vidralo 状态</h1>
<div id="job">载入中…</div>
<div id="error"></div>
<h2>账号</h2>
<div class="scroll"><table id="accounts"><thead><tr><th>账号标识</th><th>昵称</th><th>登录</th><th>状态</th><th>正在发布</th><th>今天已发</th><th>最近发布</th><th>最近失败</th></tr></thead><tbody></tbody></table></div>
<h2>等待登录</h2>
<div id="logins" class="logins"></div>
<h2>最近 50 条记录</h2>
<div class="scroll"><table id="history"><thead><tr><th>时间</th><th>账号</th><th>昵称</th><th>结果</th><th>标题</th><th>视频</th><th>步骤</th><th>原因</th><th>证据</th></tr></thead><tbody></tbody></table></div>
<script>
"use strict";
var OUTCOMES={published:"已发布",failed:"上传失败",not_logged_in:"未登录",page_not_ready:"页面未就绪",skipped:"跳过",unknown:"结果未知"};
function when(seconds){return new Date(seconds*1000).toLocaleString("zh-CN",{hour12:false});}
function cell(row,text){var td=document.createElement("td");td.textContent=text==null?"":String(text);row.appendChild(td);return td;}
function link(td,href,text){if(!href)return;var a=document.createElement("a");a.href=href;a.textContent=text;td.appendChild(document.createTextNode(" "));td.appendChild(a);}
function jobText(job){
  if(!job.running)return "已停止";
  var parts=["运行中"];
  if(job.forbiddenUntil)parts.push("禁用时间段，直到 "+when(job.forbiddenUntil));
  if(job.nextRoundAt)parts.push("下一轮 "+when(job.nextRoundAt));
  if(job.account)parts.push("当前账号 "+job.account);
  if(job.video)parts.push("视频 "+job.video);
  if(job.elapsedSeconds>=0)parts.push("已用 "+job.elapsedSeconds+" 秒");
  return parts.join("，");
}
function fill(table,rows,draw){
  var body=document.createElement("tbody");
  rows.forEach(function(item){var tr=document.createElement("tr");draw(tr,item);body.appendChild(tr);});
  table.replaceChild(body,table.tBodies[0]);
}
function draw(status){
  var job=document.getElementById("job");
  job.textContent=jobText(status.job)+"（浏览器 "+status.browsersRunning+" 个，更新于 "+when(status.time)+"）";
  job.className=status.job.running?"running":"";
  fill(document.getElementById("accounts"),status.accounts,function(tr,a){
    tr.className="account"+(a.loggedIn?"":" out");
    cell(tr,a.id);cell(tr,a.nickname);cell(tr,a.loggedIn?"已登录":"未登录");cell(tr,a.status);
    cell(tr,a.publishing);cell(tr,a.publishedToday);
    cell(tr,a.lastPublished?a.lastPublished.time+" "+a.lastPublished.title:"");
    var failed=cell(tr,a.lastFailed?a.lastFailed.time+" "+a.lastFailed.step+" "+a.lastFailed.reason:"");
    if(a.lastFailed)link(failed,a.lastFailed.evidence,"证据");
  });
  var logins=document.getElementById("logins");
  logins.textContent="";
  status.accounts.filter(function(a){return a.loginPicture;}).forEach(function(a){
    var figure=document.createElement("figure");var img=document.createElement("img");
    img.src=a.loginPicture+"?t="+status.time;img.alt="账号 "+a.id;
    var caption=document.createElement("figcaption");caption.textContent="账号 "+a.id+" "+a.nickname;
    figure.appendChild(img);figure.appendChild(caption);logins.appendChild(figure);
  });
  if(!logins.firstChild)logins.textContent="无";
  fill(document.getElementById("history"),status.history,function(tr,h){
    tr.className="history";
    cell(tr,h.time);cell(tr,h.account);cell(tr,h.nickname);cell(tr,OUTCOMES[h.outcome]||h.outcome);cell(tr,h.title);cell(tr,h.video);
    cell(tr,h.step);cell(tr,h.reason);link(cell(tr,""),h.evidence,"证据");
  });
}
function refresh(){
  fetch("/api/status",{cache:"no-store"}).then(function(r){
    if(!r.ok)throw new Error("HTTP "+r.status);return r.json();
  }).then(function(s){document.getElementById("error").textContent="";draw(s);})
  .catch(function(e){document.getElementById("error").textContent="无法读取状态："+e.message;})
  .finally(function(){setTimeout(refresh,2000);});
}
refresh();
</script>
</body>
</html>
)HTML";
}

}  // namespace vidralo
