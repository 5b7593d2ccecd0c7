<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>MonitorTexts</name>
    <message>
        <source>番号変化</source>
        <translation>New call</translation>
    </message>
    <message>
        <source>検出不可</source>
        <translation>No answer</translation>
    </message>
    <message>
        <source>動作検出</source>
        <translation>Activity</translation>
    </message>
    <message>
        <source>調査中</source>
        <translation>Checking</translation>
    </message>
    <message>
        <source>ポート未指定</source>
        <translation>No port set</translation>
    </message>
    <message>
        <source>未指定</source>
        <translation>No port</translation>
    </message>
    <message>
        <source>番号情報なし</source>
        <translation>No number</translation>
    </message>
    <message>
        <source>ポート &quot;%1&quot; の4文字目が数字ではありません</source>
        <translation>Port &quot;%1&quot;: the fourth character is not a digit</translation>
    </message>
    <message>
        <source>調査間隔 &quot;%1&quot; の数値が正しくありません</source>
        <translation>Interval &quot;%1&quot;: the number is not valid</translation>
    </message>
    <message>
        <source>調査間隔 &quot;%1&quot; に負の値は指定できません</source>
        <translation>Interval &quot;%1&quot;: a negative value cannot be used</translation>
    </message>
    <message>
        <source>着信履歴を %1 に書き込めません</source>
        <translation>Cannot write the call log %1</translation>
    </message>
    <message>
        <source>着信を %1 に記録します</source>
        <translation>Records calls in %1</translation>
    </message>
</context>
<context>
    <name>TMainForm</name>
    <message>
        <source>着信履歴をﾌｧｲﾙ</source>
        <translation>Log to file</translation>
    </message>
    <message>
        <source>調査間隔</source>
        <translation>Interval</translation>
    </message>
    <message>
        <source>電話番号の調査間隔を指定します</source>
        <translation>How often the adapter is asked for the caller&apos;s number</translation>
    </message>
    <message>
        <source>ポート</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>ターミナルアダプタのデジタルポートを指定します</source>
        <translation>The serial port of the terminal adapter</translation>
    </message>
    <message>
        <source>バージョン情報を表示します (^^)/</source>
        <translation>Shows the version information (^^)/</translation>
    </message>
    <message>
        <source>全部</source>
        <translation>All</translation>
    </message>
    <message>
        <source>状態を全て表示します</source>
        <translation>Shows the whole state</translation>
    </message>
    <message>
        <source>即刻</source>
        <translation>Now</translation>
    </message>
    <message>
        <source>いますぐ調べます</source>
        <translation>Checks right now</translation>
    </message>
    <message>
        <source>待機</source>
        <translation>Standby</translation>
    </message>
    <message>
        <source>待機中に Windows を終了すると次回起動後待機状態になります</source>
        <translation>If the session ends during standby, Telvane starts in standby next time</translation>
    </message>
</context>
<context>
    <name>TMyAboutDialogBox</name>
    <message>
        <source>ﾊﾞｰｼﾞｮﾝ情報</source>
        <translation>Version Information</translation>
    </message>
</context>
<context>
    <name>telvane::TMainForm</name>
    <message>
        <source>ログイン時に起動</source>
        <translation>Start at login</translation>
    </message>
    <message>
        <source>ログイン時の起動を設定できません</source>
        <translation>Cannot change starting at login</translation>
    </message>
</context>
</TS>
