<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>Aerolyre</name>
    <message>
        <source>Aerolyreのﾊﾞｰｼﾞｮﾝ情報(&amp;A)...</source>
        <translation>&amp;About Aerolyre...</translation>
    </message>
    <message>
        <source>サウンドデバイスの設定(&amp;D)...</source>
        <translation>Sound &amp;Device...</translation>
    </message>
    <message>
        <source>音程ガイドと音程補正の設定(&amp;T)...</source>
        <translation>Note Guides and Pitch Correc&amp;tion...</translation>
    </message>
    <message>
        <source>MIDI出力(&amp;M)</source>
        <translation>&amp;MIDI Out</translation>
    </message>
    <message>
        <source>オフ</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>MPE (チャンネル2～16、ベンド±48)</source>
        <translation>MPE (channels 2 to 16, bend ±48)</translation>
    </message>
    <message>
        <source>1チャンネル (ベンド±12)</source>
        <translation>One channel (bend ±12)</translation>
    </message>
    <message>
        <source>速度制限なし (仮想ポート用)</source>
        <translation>No rate limit (for virtual ports)</translation>
    </message>
    <message>
        <source>MIDI入力 (ポート aerolyre)(&amp;I)</source>
        <translation>MIDI &amp;In (port aerolyre)</translation>
    </message>
    <message>
        <source>ペンタブレット(&amp;P)</source>
        <translation>&amp;Pen Tablet</translation>
    </message>
    <message>
        <source>オフ (マウスとして扱う)</source>
        <translation>Off (taken as a mouse)</translation>
    </message>
    <message>
        <source>筆圧で音量: 軽いタッチ向け</source>
        <translation>Pressure sets loudness: light touch</translation>
    </message>
    <message>
        <source>筆圧で音量: 標準</source>
        <translation>Pressure sets loudness: even</translation>
    </message>
    <message>
        <source>筆圧で音量: 強いタッチ向け</source>
        <translation>Pressure sets loudness: firm touch</translation>
    </message>
    <message>
        <source>言語 (Language)(&amp;L)</source>
        <translation>&amp;Language</translation>
    </message>
    <message>
        <source>日本語</source>
        <translation>日本語</translation>
    </message>
    <message>
        <source>言語の変更は次回の起動から有効になります。</source>
        <translation>The language changes the next time Aerolyre starts.</translation>
    </message>
    <message>
        <source>バッファのサイズは１～10000にして下さい</source>
        <translation>Enter a buffer size from 1 to 10000</translation>
    </message>
    <message>
        <source>音域は１～７オクターブにして下さい</source>
        <translation>Enter a range from 1 to 7 octaves</translation>
    </message>
    <message>
        <source>モジュレータの周波数は1～9倍にして下さい</source>
        <translation>Enter a modulator frequency from 1 to 9 times</translation>
    </message>
    <message>
        <source>モジュレータの強さは0～1000にして下さい</source>
        <translation>Enter a modulator strength from 0 to 1000</translation>
    </message>
    <message>
        <source>左クリック時のピッチシフトは-12～12にして下さい</source>
        <translation>Enter a left-click pitch shift from -12 to 12</translation>
    </message>
    <message>
        <source>右クリック時のピッチシフトは-12～12にして下さい</source>
        <translation>Enter a right-click pitch shift from -12 to 12</translation>
    </message>
    <message>
        <source>wave出力の準備に失敗しました</source>
        <translation>Could not prepare the wave output</translation>
    </message>
    <message>
        <source>歪みの強さは0～1000にして下さい</source>
        <translation>Enter a distortion strength from 0 to 1000</translation>
    </message>
    <message>
        <source>フィードバックの強さは0～1000にして下さい</source>
        <translation>Enter a feedback strength from 0 to 1000</translation>
    </message>
    <message>
        <source>伴奏ファイル(.WAV)を指定して下さい</source>
        <translation>Choose a backing track file (.WAV)</translation>
    </message>
    <message>
        <source>キャッシュのサイズは64～16384にして下さい</source>
        <translation>Enter a cache size from 64 to 16384</translation>
    </message>
    <message>
        <source>音量は1～2000にして下さい</source>
        <translation>Enter a volume from 1 to 2000</translation>
    </message>
    <message>
        <source>[ESC]  ・・・　演奏盤を閉じる</source>
        <translation>[ESC]  ...  close the board</translation>
    </message>
    <message>
        <source>[マウスを左に移動]　・・・　音程を下げる</source>
        <translation>[Move the mouse left]  ...  lower the pitch</translation>
    </message>
    <message>
        <source>[マウスを右に移動]　・・・　音程を上げる</source>
        <translation>[Move the mouse right]  ...  raise the pitch</translation>
    </message>
    <message>
        <source>[マウスを下に移動]  ・・・　音量を小さくする</source>
        <translation>[Move the mouse down]  ...  softer</translation>
    </message>
    <message>
        <source>[マウスを上に移動]  ・・・　音量を大きくする</source>
        <translation>[Move the mouse up]  ...  louder</translation>
    </message>
    <message>
        <source>音域調整は-24～12にして下さい</source>
        <translation>Enter a range shift from -24 to 12</translation>
    </message>
    <message>
        <source>設定ファイルの書込みに失敗しました</source>
        <translation>Could not write the tone file</translation>
    </message>
    <message>
        <source>設定ファイルの読み込みに失敗しました。</source>
        <translation>Could not read the tone file.</translation>
    </message>
    <message>
        <source>ファイルを開けませんでした</source>
        <translation>Could not open the file</translation>
    </message>
    <message>
        <source>ファイルは読み取り可能な形式ではありません</source>
        <translation>The file is not in a form that can be read</translation>
    </message>
    <message>
        <source>出力対象ファイルを開けませんでした</source>
        <translation>Could not open the output file</translation>
    </message>
    <message>
        <source>入力ファイルは、サンプリング周波数44.1KHz、解像度が16ビット整数値もしくは32ビット浮動小数点値のPCM波形で、モノラル1秒（44100サンプル）以内でなくてはなりません。</source>
        <translation>The input file must be a PCM wave at a sampling rate of 44.1 kHz, in 16-bit integers or 32-bit floating point, mono, and no longer than 1 second (44100 samples).</translation>
    </message>
    <message>
        <source>基準周波数は１～20000Hzにして下さい</source>
        <translation>Enter a reference frequency from 1 to 20000 Hz</translation>
    </message>
    <message>
        <source>音階ファイルを読み込めませんでした</source>
        <translation>Could not read the scale file</translation>
    </message>
    <message>
        <source>補正の強さは0～100%にして下さい</source>
        <translation>Enter a correction strength from 0 to 100%</translation>
    </message>
    <message>
        <source>メモリ不足です</source>
        <translation>Out of memory</translation>
    </message>
    <message>
        <source>整数を入力してください。</source>
        <translation>Enter a whole number.</translation>
    </message>
    <message>
        <source>%1 から %2 までの整数を入力してください。</source>
        <translation>Enter a whole number from %1 to %2.</translation>
    </message>
    <message>
        <source>Aerolyreのﾊﾞｰｼﾞｮﾝ情報</source>
        <translation>About Aerolyre</translation>
    </message>
    <message>
        <source>設定メニュー: F10 キー、または背景を右クリック</source>
        <translation>Settings menu: F10, or right-click the background</translation>
    </message>
    <message>
        <source>音色</source>
        <translation>Tone</translation>
    </message>
    <message>
        <source>モジュレータの周波数:</source>
        <translation>Modulator frequency:</translation>
    </message>
    <message>
        <source>倍（1～9)</source>
        <translation>times (1-9)</translation>
    </message>
    <message>
        <source>モジュレータの強さ:</source>
        <translation>Modulator strength:</translation>
    </message>
    <message>
        <source>（0～1000)</source>
        <translation>(0-1000)</translation>
    </message>
    <message>
        <source>フィードバックの強さ:</source>
        <translation>Feedback:</translation>
    </message>
    <message>
        <source>歪みの強さ:</source>
        <translation>Distortion:</translation>
    </message>
    <message>
        <source>ディチューン</source>
        <translation>Detune</translation>
    </message>
    <message>
        <source>FIRフィルタ使用</source>
        <translation>Use FIR filter</translation>
    </message>
    <message>
        <source>フィルタの設定...</source>
        <translation>Filter setup...</translation>
    </message>
    <message>
        <source>音域:</source>
        <translation>Range:</translation>
    </message>
    <message>
        <source>オクターブ(1～7)</source>
        <translation>octaves (1-7)</translation>
    </message>
    <message>
        <source>音域調整:</source>
        <translation>Shift:</translation>
    </message>
    <message>
        <source>半音（-24～12)</source>
        <translation>semitones (-24-12)</translation>
    </message>
    <message>
        <source>左クリック時のピッチシフト:</source>
        <translation>Left-click pitch shift:</translation>
    </message>
    <message>
        <source>半音（-12～12)</source>
        <translation>semitones (-12-12)</translation>
    </message>
    <message>
        <source>右クリック時のピッチシフト:</source>
        <translation>Right-click pitch shift:</translation>
    </message>
    <message>
        <source>音色の読み込み...</source>
        <translation>Load tone...</translation>
    </message>
    <message>
        <source>音色の書き出し...</source>
        <translation>Save tone...</translation>
    </message>
    <message>
        <source>処理の設定</source>
        <translation>Processing</translation>
    </message>
    <message>
        <source>バッファ:</source>
        <translation>Buffer:</translation>
    </message>
    <message>
        <source>(1～10000)</source>
        <translation>(1-10000)</translation>
    </message>
    <message>
        <source>オーバーサイクル数:</source>
        <translation>Overcycles:</translation>
    </message>
    <message>
        <source>キャッシュ:</source>
        <translation>Cache:</translation>
    </message>
    <message>
        <source>KBytes(64～16384)</source>
        <translation>KBytes(64-16384)</translation>
    </message>
    <message>
        <source>ファイルへのダイレクト録音</source>
        <translation>Record to file</translation>
    </message>
    <message>
        <source>設定...</source>
        <translation>Setup...</translation>
    </message>
    <message>
        <source>伴奏付き</source>
        <translation>Backing</translation>
    </message>
    <message>
        <source>演奏</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>演奏盤</source>
        <translation>Performance Board</translation>
    </message>
    <message>
        <source>FIRフィルタの設定</source>
        <translation>FIR Filter</translation>
    </message>
    <message>
        <source>フィルタ1</source>
        <translation>Filter 1</translation>
    </message>
    <message>
        <source>波形読込み...</source>
        <translation>Load wave...</translation>
    </message>
    <message>
        <source>リセット</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>波形ファイル名:</source>
        <translation>Wave file:</translation>
    </message>
    <message>
        <source>入力音量:</source>
        <translation>Input volume:</translation>
    </message>
    <message>
        <source>ディレイ長:</source>
        <translation>Delay:</translation>
    </message>
    <message>
        <source>フィードバック:</source>
        <translation>Feedback:</translation>
    </message>
    <message>
        <source>フィルタ2</source>
        <translation>Filter 2</translation>
    </message>
    <message>
        <source>音量:</source>
        <translation>Volume:</translation>
    </message>
    <message>
        <source>総フィルタ長:</source>
        <translation>Total length:</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>伴奏の設定</source>
        <translation>Backing Track</translation>
    </message>
    <message>
        <source>伴奏ファイル</source>
        <translation>Backing track file</translation>
    </message>
    <message>
        <source>ファイル指定...</source>
        <translation>Choose file...</translation>
    </message>
    <message>
        <source>ファイル名:</source>
        <translation>File name:</translation>
    </message>
    <message>
        <source>演奏音との音量比:</source>
        <translation>Balance with your playing:</translation>
    </message>
    <message>
        <source>(演奏が大きい)</source>
        <translation>(playing louder)</translation>
    </message>
    <message>
        <source>(伴奏が大きい)</source>
        <translation>(backing louder)</translation>
    </message>
    <message>
        <source>繰り返し再生する</source>
        <translation>Play in a loop</translation>
    </message>
    <message>
        <source>ファイルへのダイレクト録音の設定</source>
        <translation>Record to File</translation>
    </message>
    <message>
        <source>出力フォーマット</source>
        <translation>Output format</translation>
    </message>
    <message>
        <source>16ビット整数値</source>
        <translation>16-bit integer</translation>
    </message>
    <message>
        <source>32ビット浮動少数点値（-32768.0～32767.0で正規化)</source>
        <translation>32-bit float (normalised to -32768.0 to 32767.0)</translation>
    </message>
    <message>
        <source>伴奏も録音する</source>
        <translation>Record the backing too</translation>
    </message>
    <message>
        <source>サウンドデバイスの設定</source>
        <translation>Sound Device</translation>
    </message>
    <message>
        <source>出力デバイス:</source>
        <translation>Output device:</translation>
    </message>
    <message>
        <source>音程ガイドと音程補正の設定</source>
        <translation>Note Guides and Pitch Correction</translation>
    </message>
    <message>
        <source>演奏盤に音程ガイドを表示する (G)</source>
        <translation>Show note guides on the board (G)</translation>
    </message>
    <message>
        <source>止めた音を最も近い音に寄せる (Q)</source>
        <translation>Pull held notes to the nearest note (Q)</translation>
    </message>
    <message>
        <source>強さ %:</source>
        <translation>Pull %:</translation>
    </message>
    <message>
        <source>音階</source>
        <translation>Scale</translation>
    </message>
    <message>
        <source>12平均律</source>
        <translation>12-tone equal</translation>
    </message>
    <message>
        <source>Scalaファイル</source>
        <translation>Scala file</translation>
    </message>
    <message>
        <source>基準周波数 (A4 または 0度の音) Hz:</source>
        <translation>Reference (A4 or degree 0) Hz:</translation>
    </message>
    <message>
        <source>音階ファイル (.scl):</source>
        <translation>Scale file (.scl):</translation>
    </message>
    <message>
        <source>参照...</source>
        <translation>Browse...</translation>
    </message>
    <message>
        <source>キーボードマップ (.kbm):</source>
        <translation>Keyboard map (.kbm):</translation>
    </message>
    <message>
        <source>解除</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>通常のファイルではありません</source>
        <translation>Not a regular file</translation>
    </message>
    <message>
        <source>ファイルまたはフォルダが見つかりません</source>
        <translation>No such file or folder</translation>
    </message>
    <message>
        <source>パスの途中にフォルダでないものがあります</source>
        <translation>A part of the path is not a folder</translation>
    </message>
    <message>
        <source>ファイルではなくフォルダです</source>
        <translation>A folder, not a file</translation>
    </message>
    <message>
        <source>ファイル名が長すぎます</source>
        <translation>File name too long</translation>
    </message>
    <message>
        <source>シンボリックリンクの階層が深すぎます</source>
        <translation>Too many levels of symbolic links</translation>
    </message>
    <message>
        <source>アクセスが拒否されました</source>
        <translation>Access denied</translation>
    </message>
    <message>
        <source>読み取り専用のファイルシステムです</source>
        <translation>Read-only file system</translation>
    </message>
    <message>
        <source>開いているファイルが多すぎます</source>
        <translation>Too many open files</translation>
    </message>
    <message>
        <source>ほかのプログラムが使用中です</source>
        <translation>In use by another program</translation>
    </message>
    <message>
        <source>ディスクの空き容量が足りません</source>
        <translation>Not enough space on the disk</translation>
    </message>
    <message>
        <source>ディスクの使用量の上限を超えました</source>
        <translation>Disk quota exceeded</translation>
    </message>
    <message>
        <source>ファイルサイズの上限を超えました</source>
        <translation>File size limit exceeded</translation>
    </message>
    <message>
        <source>入出力エラーが発生しました</source>
        <translation>Input/output error</translation>
    </message>
    <message>
        <source>ファイルが途中で終わっています</source>
        <translation>The file ends too early</translation>
    </message>
    <message>
        <source>ファイルエラーが発生しました</source>
        <translation>A file error occurred</translation>
    </message>
    <message>
        <source>伴奏ﾌｧｲﾙ(wav)|*.wav||</source>
        <translation>Backing track (wav)|*.wav||</translation>
    </message>
    <message>
        <source>ﾌｨﾙﾀ波形ﾌｧｲﾙ(wav)|*.wav||</source>
        <translation>Filter wave file (wav)|*.wav||</translation>
    </message>
    <message>
        <source>Aerolyre設定ﾌｧｲﾙ(*.aly)|*.aly||</source>
        <translation>Aerolyre tone file (*.aly)|*.aly||</translation>
    </message>
    <message>
        <source>Scala音階ﾌｧｲﾙ(*.scl)|*.scl||</source>
        <translation>Scala scale file (*.scl)|*.scl||</translation>
    </message>
    <message>
        <source>Scalaキーボードマップ(*.kbm)|*.kbm||</source>
        <translation>Scala keyboard map (*.kbm)|*.kbm||</translation>
    </message>
    <message>
        <source>録音ﾌｧｲﾙ(wav)|*.wav||</source>
        <translation>Recording (wav)|*.wav||</translation>
    </message>
    <message>
        <source>既定のデバイス</source>
        <translation>Default device</translation>
    </message>
    <message>
        <source> 補正</source>
        <translation> correction</translation>
    </message>
</context>
</TS>
