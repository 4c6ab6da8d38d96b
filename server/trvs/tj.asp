<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta charset="utf-8">
<title>相似性网站统计</title>
<style>
body { font-family: "宋体", serif; font-size: 14px; margin: 12px; }
table { border-collapse: collapse; }
td { border-bottom: 1px solid #ddd; padding: 4px 8px; }
</style>
</head>
<body>
<p>Trovalis 相似性网站统计：下表列出对比结果中出现次数最多的网站，点击标题可在对比器中打开该网页。</p>
</body>
</html>
