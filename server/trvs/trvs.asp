<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta charset="utf-8">
<title>Trovalis 启动</title>
</head>
<body>
<p>Trovalis 论文查重助手：欢迎使用。</p>
</body>
</html>
