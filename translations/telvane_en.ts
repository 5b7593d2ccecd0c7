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
    <name>telvane::TCallersSettingsDialog</name>
    <message>
        <source>番号表示の設定</source>
        <translation>Caller display settings</translation>
    </message>
    <message>
        <source>国番号のない番号を読む国 (例: JP)</source>
        <translation>Country for numbers without a country code (e.g. JP)</translation>
    </message>
    <message>
        <source>空のときは Telvane の電話帳 %1</source>
        <translation>When empty, Telvane&apos;s own contacts %1</translation>
    </message>
    <message>
        <source>参照...</source>
        <translation>Browse...</translation>
    </message>
    <message>
        <source>電話帳を選ぶ</source>
        <translation>Choose contacts</translation>
    </message>
    <message>
        <source>連絡先 (*.vcf *.vcard *.csv);;すべてのファイル (*)</source>
        <translation>Contacts (*.vcf *.vcard *.csv);;All files (*)</translation>
    </message>
    <message>
        <source>地域</source>
        <translation>Region</translation>
    </message>
    <message>
        <source>電話帳</source>
        <translation>Contacts</translation>
    </message>
    <message>
        <source>地域は 2 文字の国コードで指定します (例: JP)</source>
        <translation>The region is a two-letter country code (e.g. JP)</translation>
    </message>
</context>
<context>
    <name>telvane::TFollower</name>
    <message>
        <source>接続不可</source>
        <translation>No broker</translation>
    </message>
    <message>
        <source>接続中</source>
        <translation>Connecting</translation>
    </message>
    <message>
        <source>相手待ち</source>
        <translation>Waiting</translation>
    </message>
    <message>
        <source>相手停止</source>
        <translation>Remote off</translation>
    </message>
    <message>
        <source>相手検出不可</source>
        <translation>Adapter down</translation>
    </message>
    <message>
        <source>追従中</source>
        <translation>Following</translation>
    </message>
</context>
<context>
    <name>telvane::THistoryModel</name>
    <message>
        <source>着信時刻</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>番号</source>
        <translation>Number</translation>
    </message>
    <message>
        <source>名前・地域</source>
        <translation>Name or area</translation>
    </message>
    <message>
        <source>回数</source>
        <translation>Calls</translation>
    </message>
</context>
<context>
    <name>telvane::THistoryWindow</name>
    <message>
        <source>着信履歴 - Telvane</source>
        <translation>Call history - Telvane</translation>
    </message>
    <message>
        <source>検索 (時刻、番号、名前、地域)</source>
        <translation>Search (time, number, name, area)</translation>
    </message>
    <message>
        <source>名前を付ける...</source>
        <translation>Name the caller...</translation>
    </message>
    <message>
        <source>番号をコピー</source>
        <translation>Copy number</translation>
    </message>
    <message numerus="yes">
        <source>%n 件の着信</source>
        <translation>
            <numerusform>%n call</numerusform>
            <numerusform>%n calls</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>、読めない行 %n</source>
        <translation>
            <numerusform>, %n unreadable line</numerusform>
            <numerusform>, %n unreadable lines</numerusform>
        </translation>
    </message>
    <message>
        <source>読み込み中...</source>
        <translation>Reading...</translation>
    </message>
    <message>
        <source>、検索中...</source>
        <translation>, searching...</translation>
    </message>
    <message>
        <source>電話帳: %1</source>
        <translation>Contacts: %1</translation>
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
    <message>
        <source>名前を付ける...</source>
        <translation>Name the caller...</translation>
    </message>
    <message>
        <source>着信履歴...</source>
        <translation>Call history...</translation>
    </message>
    <message>
        <source>電話帳を開く</source>
        <translation>Open contacts</translation>
    </message>
    <message>
        <source>電話帳を選ぶ...</source>
        <translation>Choose contacts...</translation>
    </message>
    <message>
        <source>番号表示の設定...</source>
        <translation>Caller display settings...</translation>
    </message>
    <message>
        <source>設定...</source>
        <translation>Settings...</translation>
    </message>
    <message>
        <source>電話帳を選ぶ</source>
        <translation>Choose contacts</translation>
    </message>
    <message>
        <source>連絡先 (*.vcf *.vcard *.csv);;すべてのファイル (*)</source>
        <translation>Contacts (*.vcf *.vcard *.csv);;All files (*)</translation>
    </message>
</context>
<context>
    <name>telvane::TNameDialog</name>
    <message>
        <source>名前を付ける</source>
        <translation>Name the caller</translation>
    </message>
    <message>
        <source>%1 の名前 (空にすると Telvane の電話帳から消します):</source>
        <translation>Name for %1 (leave empty to remove it from Telvane&apos;s contacts):</translation>
    </message>
    <message>
        <source>名前を保存できません: %1</source>
        <translation>Cannot save the name: %1</translation>
    </message>
</context>
<context>
    <name>telvane::TNotifier</name>
    <message>
        <source>表示</source>
        <translation>Show</translation>
    </message>
    <message>
        <source>名前を付ける</source>
        <translation>Name the caller</translation>
    </message>
</context>
<context>
    <name>telvane::TSettingsDialog</name>
    <message>
        <source>設定</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>新しい着信をデスクトップ通知で知らせる</source>
        <translation>Announce new callers with a desktop notification</translation>
    </message>
    <message>
        <source>通知領域にアイコンを出す</source>
        <translation>Show an icon in the notification area</translation>
    </message>
    <message>
        <source>着信時のコマンド:</source>
        <translation>Command on a call:</translation>
    </message>
    <message>
        <source>MQTT ブローカー:</source>
        <translation>MQTT broker:</translation>
    </message>
    <message>
        <source>MQTT トピック:</source>
        <translation>MQTT topic:</translation>
    </message>
    <message>
        <source>地域 (国コード):</source>
        <translation>Region (country code):</translation>
    </message>
    <message>
        <source>電話帳ファイル:</source>
        <translation>Contacts file:</translation>
    </message>
    <message>
        <source>着信時のコマンドの引用符が閉じていません。</source>
        <translation>A quote in the command on a call is not closed.</translation>
    </message>
    <message>
        <source>MQTT ブローカーは mqtt://[ユーザー[:パスワード]@]ホスト[:ポート] または mqtts://... の形で入力してください。</source>
        <translation>Enter the MQTT broker as mqtt://[user[:password]@]host[:port] or mqtts://...</translation>
    </message>
    <message>
        <source>この Telvane は MQTT に対応していません。</source>
        <translation>This Telvane was built without MQTT.</translation>
    </message>
    <message>
        <source>MQTT トピックに + と # は使えません。</source>
        <translation>An MQTT topic cannot contain + or #.</translation>
    </message>
    <message>
        <source>地域は JP のような 2 文字の国コードで入力してください。</source>
        <translation>Enter the region as a two-letter country code such as JP.</translation>
    </message>
    <message>
        <source>MQTT トピックに制御文字は使えません。</source>
        <translation>An MQTT topic cannot contain control characters.</translation>
    </message>
    <message>
        <source>MQTT トピックが長すぎるか、階層が多すぎます。</source>
        <translation>The MQTT topic is too long or has too many levels.</translation>
    </message>
    <message>
        <source>ここに入れた Telvane の着信を MQTT で受け取り、アダプタには問い合わせません</source>
        <translation>Takes the calls of this Telvane over MQTT instead of asking the adapter</translation>
    </message>
    <message>
        <source>追従する Telvane:</source>
        <translation>Follow Telvane at:</translation>
    </message>
    <message>
        <source>追従する Telvane は mqtt://[ユーザー[:パスワード]@]ホスト[:ポート]/トピック または mqtts://... の形で入力してください。</source>
        <translation>Enter the Telvane to follow as mqtt://[user[:password]@]host[:port]/topic or mqtts://...</translation>
    </message>
    <message>
        <source>追従する Telvane のトピックに + と # と制御文字は使えず、長すぎてもいけません。</source>
        <translation>The topic of the Telvane to follow cannot contain +, # or control characters, and must not be too long.</translation>
    </message>
</context>
<context>
    <name>telvane::TTrayIcon</name>
    <message>
        <source>表示</source>
        <translation>Show</translation>
    </message>
    <message>
        <source>即刻</source>
        <translation>Check now</translation>
    </message>
    <message>
        <source>履歴</source>
        <translation>History</translation>
    </message>
    <message>
        <source>終了</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>最終確認 %1</source>
        <translation>Last answer %1</translation>
    </message>
    <message>
        <source>検出不可</source>
        <translation>No answer</translation>
    </message>
</context>
<context>
    <name>telvane::TWhoCalled</name>
    <message>
        <source>%1: ファイルがありません</source>
        <translation>%1: no such file</translation>
    </message>
    <message>
        <source>フォルダ %1 を作れません</source>
        <translation>Cannot create the folder %1</translation>
    </message>
    <message>
        <source>電話帳を読めません</source>
        <translation>Cannot read the contacts</translation>
    </message>
    <message>
        <source>読み飛ばした連絡先は全部で %1 件</source>
        <translation>%1 contacts skipped in all</translation>
    </message>
</context>
<context>
    <name>telvane::win32::THistoryWindow</name>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>%1 件の着信</source>
        <translation>%1 calls</translation>
    </message>
    <message>
        <source>、読めない行 %1</source>
        <translation>, unreadable lines: %1</translation>
    </message>
</context>
<context>
    <name>telvane::win32::TMainForm</name>
    <message>
        <source>着信を通知</source>
        <translation>Notify of calls</translation>
    </message>
    <message>
        <source>通知領域にアイコン</source>
        <translation>Icon in the notification area</translation>
    </message>
</context>
<context>
    <name>telvane::win32::TNameDialog</name>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
</context>
</TS>
