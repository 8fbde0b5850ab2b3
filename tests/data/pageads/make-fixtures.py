#!/usr/bin/env python3
"""Writes the Shift_JIS fixture pages and the scrambled settings folder.

Run from this folder with the built pagewick-cli as the argument:
    ./make-fixtures.py ../../../build/bin/pagewick-cli
"""
import subprocess
import sys

cli = sys.argv[1]

def sjis(text):
    return text.encode("cp932")

def encode_settings(name, text):
    subprocess.run([cli, "--raw", "settings", "encode", "settings/" + name], input=sjis(text), check=True)

encode_settings("Pagewick.ini", "\r\n".join([
    "; NoTitle", "",
    "[Networks]", "Count=2", "",
    "[Network1]", "Name=A8", "Character=a8.net", "",
    "[Network2]", "Name=バリューコマース", "Character=valuecommerce", "",
]) + "\r\n")

encode_settings("ads.ini", "\r\n".join([
    "; NoTitle", "",
    "[Setups]", "AdCount=3", "",
    "[Banner1]", "SpaceName=ABC", "Type=イメージ広告468x60", "PV=200", "CT=3", "TotalRevenue=500",
    'BannerHTML=<a href="http://px.a8.net/x"><img src="http://a8.net/b.gif" width="468" height="60"></a>',
    "Network=A8", "",
    "[Banner2]", "SpaceName=表示", "Type=テキスト広告", "PV=7", "CT=1", "TotalRevenue=0",
    'BannerHTML=<a href="/m">お申し込み</a>$D$A<br>', "Network=その他", "",
    "[Banner3]", "SpaceName=ゾーン広告", "Type=未知タイプ", "PV=0", "CT=0", "TotalRevenue=12",
    "BannerHTML=<b>zone</b>", "Network=バリューコマース", "",
]) + "\r\n")

page = "\r\n".join([
    "<html><body>",
    "<!--PWH[ABC]-->",
    '<a href="http://px.a8.net/x"><img src="http://a8.net/b.gif" width="468" height="60"></a>',
    "<!--PWHEND-->",
    "<p>本文</p>",
    "<!--PWR[表示等]-->",
    '<script type="text/javascript">',
    "var pw_banners=[",
    "<!--PWH[表示]-->",
    '"<a href=\\"/m\\">お申し込み<\\/a>\\r\\n<br>",',
    "<!--PWHEND-->",
    "<!--PWH[ABC]-->",
    '"<a href=\\"http://px.a8.net/x\\"><img src=\\"http://a8.net/b.gif\\" width=\\"468\\" height=\\"60\\"><\\/a>",',
    "<!--PWHEND-->",
    '""];',
    "document.write(pw_banners[((new Date()).getSeconds() % (pw_banners.length - 1))]);",
    "</script>",
    "<!--PWREND-->",
    "<!--PWH[ゾーン広告]--><b>zone</b><!--PWHEND-->",
    "<!--PWH[]-->unnamed<!--PWHEND-->",
    "<!--PWH[古い広告]-->old<!--PWHEND-->",
    "</body></html>",
]) + "\r\n"
open("page.html", "wb").write(sjis(page))

# Written by an older version: the second byte 0x5C of 申 doubled in the
# member literal; LF line breaks; an unterminated rotation at the end.
old = "\n".join([
    "<!--PWR[表示等]-->",
    "<!--PWH[表示]-->",
    '"<a href=\\"/m\\">お申\\し込み<\\/a>\\r\\n<br>",',
    "<!--PWHEND-->",
]) + "\n"
open("old.html", "wb").write(sjis(old).replace(b"\x90\x5c\\", b"\x90\x5c\x5c"))
