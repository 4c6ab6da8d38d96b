<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta charset="utf-8">
<title>谢谢使用 Trovalis</title>
<style>
body { font-family: "宋体", "WenQuanYi Micro Hei", sans-serif; max-width: 40em; margin: 3em auto; line-height: 1.7; }
h1 { font-size: 1.5em; }
</style>
</head>
<body>
<h1>谢谢使用 Trovalis 论文查重助手</h1>
<p>Trovalis 把论文切分成短句，逐句在搜索引擎中查找，帮助您在交稿前发现与网上内容重复的段落。</p>
<h2>使用小贴士</h2>
<ul>
<li>分析前先把论文粘贴或打开到编辑框中，再点击“进行分析”。</li>
<li>“启动自动对比”每秒对比一句，可随时点击“停止自动对比！”。</li>
<li>“对比器”可在不联网的情况下把论文与参考文献逐句比对。</li>
<li>“获取更新”可检查并下载新版本。</li>
</ul>
<p>欢迎再次使用！</p>
</body>
</html>
