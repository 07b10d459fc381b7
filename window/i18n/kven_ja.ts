<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
<context>
    <name>KVEN</name>
    <message>
        <source>Text</source>
        <translation>本文</translation>
    </message>
    <message>
        <source>The document being read; the chunk being read is selected. Click into it to read on from there.</source>
        <translation>読み上げる文書。読んでいる部分が選択されます。クリックした所から読み続けます。</translation>
    </message>
    <message>
        <source>Read from the cursor (F11)</source>
        <translation>カーソルの位置から読み上げます (F11)</translation>
    </message>
    <message>
        <source>Open a text file, web page, EPUB book or ZIP file (F2)</source>
        <translation>テキストファイル、ウェブページ、EPUB の本、ZIP ファイルを開きます (F2)</translation>
    </message>
    <message>
        <source>Stop reading (F12)</source>
        <translation>読み上げを止めます (F12)</translation>
    </message>
    <message>
        <source>Read the text on the clipboard (F4)</source>
        <translation>クリップボードの文字列を読み上げます (F4)</translation>
    </message>
    <message>
        <source>Close, remembering where reading stood</source>
        <translation>読んだ位置を記録して終了します</translation>
    </message>
    <message>
        <source>The voice that reads, from the next chunk</source>
        <translation>読み上げる声。次の部分から変わります</translation>
    </message>
    <message>
        <source>Reading speed from -10 to 10, from the next chunk</source>
        <translation>読み上げの速さ (-10〜10)。次の部分から変わります</translation>
    </message>
    <message>
        <source>Read the settings file again</source>
        <translation>設定ファイルを読み直します</translation>
    </message>
    <message>
        <source>Write the settings to the settings file</source>
        <translation>設定を設定ファイルに保存します</translation>
    </message>
    <message>
        <source>Lists and options</source>
        <translation>リストと設定</translation>
    </message>
    <message>
        <source>The skip list, the symbols read out and the filter options</source>
        <translation>除外リスト、読み上げる記号、読み上げの設定</translation>
    </message>
    <message>
        <source>The skip list</source>
        <translation>除外リスト</translation>
    </message>
    <message>
        <source>The symbols read out</source>
        <translation>読み上げる記号</translation>
    </message>
    <message>
        <source>The filter options</source>
        <translation>読み上げの設定</translation>
    </message>
    <message>
        <source>Skip list</source>
        <translation>除外リスト</translation>
    </message>
    <message>
        <source>A chunk containing one of these strings is not read</source>
        <translation>これらの文字列を含む部分は読みません</translation>
    </message>
    <message>
        <source>Add a string to the skip list</source>
        <translation>除外リストに文字列を加えます</translation>
    </message>
    <message>
        <source>Delete the selected string from the skip list</source>
        <translation>選んだ文字列を除外リストから削除します</translation>
    </message>
    <message>
        <source>Full-width symbols that are read out; the others are pauses</source>
        <translation>読み上げる全角の記号。ほかの記号では間を置きます</translation>
    </message>
    <message>
        <source>Skip chunks that look like character art or are mostly blank, by the two limits below</source>
        <translation>アスキーアートや空白の多い部分を、下の二つの上限に従って飛ばします</translation>
    </message>
    <message>
        <source>Tenths of a chunk that may be unreadable characters before it is skipped</source>
        <translation>読めない文字の割合がこの値 (十分の一単位) を超える部分は飛ばします</translation>
    </message>
    <message>
        <source>Tenths of a chunk that may be blanks before it is skipped</source>
        <translation>空白文字の割合がこの値 (十分の一単位) を超える部分は飛ばします</translation>
    </message>
    <message>
        <source>Do not say the same chunk twice in a row</source>
        <translation>同じ部分を続けて二度読みません</translation>
    </message>
    <message>
        <source>Read Aozora Bunko ruby as its reading only</source>
        <translation>青空文庫のルビは読みだけを読みます</translation>
    </message>
    <message>
        <source>Start a document at its first heading</source>
        <translation>文書を最初の見出しから読みます</translation>
    </message>
    <message>
        <source>Text scroll bar</source>
        <translation>本文のスクロールバー</translation>
    </message>
    <message>
        <source>Skip list scroll bar</source>
        <translation>除外リストのスクロールバー</translation>
    </message>
    <message>
        <source>Symbols scroll bar</source>
        <translation>記号のスクロールバー</translation>
    </message>
    <message>
        <source>Voices</source>
        <translation>声の一覧</translation>
    </message>
    <message>
        <source>%1 (version %2)
Reads Japanese text aloud.

Voices: &quot;mei&quot; (from the MMDAgent project) and &quot;nitech m001&quot; (HTS voice nitech_jp_atr503_m001), Copyright © 2003–2013 Nagoya Institute of Technology, Department of Computer Science; under the Creative Commons Attribution 3.0 licence (CC BY 3.0).

Japanese dictionary: naist-jdic of Open JTalk, Copyright © 2009 Nara Institute of Science and Technology and © 2008–2013 Nagoya Institute of Technology; under the 3-clause BSD licence.
English pronunciations: the CMU Pronouncing Dictionary as packaged in festlex-cmu, Copyright © 1996–1997 Centre for Speech Technology Research, University of Edinburgh; free to use and distribute without restriction.</source>
        <translation>%1 (バージョン %2)
日本語の文章を読み上げます。

声: 「mei」(MMDAgent プロジェクト) と「nitech m001」(HTS voice nitech_jp_atr503_m001)。Copyright © 2003–2013 名古屋工業大学 情報工学科。クリエイティブ・コモンズ 表示 3.0 (CC BY 3.0) で利用しています。

日本語辞書: Open JTalk の naist-jdic。Copyright © 2009 奈良先端科学技術大学院大学、© 2008–2013 名古屋工業大学。三条項 BSD ライセンス。
英単語の発音: festlex-cmu に含まれる CMU 発音辞書。Copyright © 1996–1997 エディンバラ大学 音声技術研究センター。制限なく利用・配布できます。</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>開始</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>開く</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>貼り付け</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>終了</translation>
    </message>
    <message>
        <source>Voice</source>
        <translation>声</translation>
    </message>
    <message>
        <source>Speed</source>
        <translation>速さ</translation>
    </message>
    <message>
        <source>Reload</source>
        <translation>再読込</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>Skip</source>
        <translation>除外</translation>
    </message>
    <message>
        <source>Talk</source>
        <translation>記号</translation>
    </message>
    <message>
        <source>etc</source>
        <translation>設定</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>追加</translation>
    </message>
    <message>
        <source>Del</source>
        <translation>削除</translation>
    </message>
    <message>
        <source>AA skip</source>
        <translation>AA除外</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>ファイル(&amp;F)</translation>
    </message>
    <message>
        <source>&amp;Read</source>
        <translation>読み上げ(&amp;R)</translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation>開く(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Recent documents</source>
        <translation>最近の文書(&amp;R)</translation>
    </message>
    <message>
        <source>(none)</source>
        <translation>(なし)</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>終了(&amp;Q)</translation>
    </message>
    <message>
        <source>&amp;Start</source>
        <translation>開始(&amp;S)</translation>
    </message>
    <message>
        <source>S&amp;top</source>
        <translation>停止(&amp;T)</translation>
    </message>
    <message>
        <source>&amp;Paste</source>
        <translation>貼り付けて読む(&amp;P)</translation>
    </message>
    <message>
        <source>&amp;Again</source>
        <translation>もう一度(&amp;A)</translation>
    </message>
    <message>
        <source>Pre&amp;vious</source>
        <translation>前へ(&amp;V)</translation>
    </message>
    <message>
        <source>&amp;Next</source>
        <translation>次へ(&amp;N)</translation>
    </message>
    <message>
        <source>&amp;Chapter</source>
        <translation>章(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Next Chapter</source>
        <translation>次の章(&amp;N)</translation>
    </message>
    <message>
        <source>&amp;Previous Chapter</source>
        <translation>前の章(&amp;P)</translation>
    </message>
    <message>
        <source>Stop &amp;after</source>
        <translation>スリープタイマー(&amp;A)</translation>
    </message>
    <message>
        <source>&amp;15 minutes</source>
        <translation>15分(&amp;1)</translation>
    </message>
    <message>
        <source>&amp;30 minutes</source>
        <translation>30分(&amp;3)</translation>
    </message>
    <message>
        <source>&amp;60 minutes</source>
        <translation>60分(&amp;6)</translation>
    </message>
    <message>
        <source>At the &amp;end of this chapter</source>
        <translation>この章の終わり(&amp;E)</translation>
    </message>
    <message>
        <source>%1 scroll bar</source>
        <translation>%1のスクロールバー</translation>
    </message>
    <message>
        <source>Stops in %1</source>
        <translation>停止まで %1</translation>
    </message>
    <message>
        <source>Stops at the end of the chapter</source>
        <translation>章の終わりで停止</translation>
    </message>
    <message>
        <source>&amp;Off</source>
        <translation>オフ(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Option</source>
        <translation>オプション(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>ヘルプ(&amp;H)</translation>
    </message>
    <message>
        <source>&amp;About KVEN</source>
        <translation>KVEN について(&amp;A)</translation>
    </message>
    <message>
        <source>SkipList</source>
        <translation>除外リスト</translation>
    </message>
    <message>
        <source>All files</source>
        <translation>すべてのファイル</translation>
    </message>
    <message>
        <source>Documents</source>
        <translation>文書</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>表示(&amp;V)</translation>
    </message>
    <message>
        <source>&amp;Editor</source>
        <translation>エディタで表示(&amp;E)</translation>
    </message>
    <message>
        <source>&amp;Vertical Book</source>
        <translation>縦書きで表示(&amp;T)</translation>
    </message>
    <message>
        <source>&amp;Horizontal Book</source>
        <translation>横書きで表示(&amp;Y)</translation>
    </message>
    <message>
        <source>&amp;Book or Editor</source>
        <translation>本とエディタを切り替える(&amp;B)</translation>
    </message>
    <message>
        <source>&amp;Turn the Book</source>
        <translation>縦書きと横書きを切り替える(&amp;R)</translation>
    </message>
    <message>
        <source>&amp;Larger Text</source>
        <translation>文字を大きく(&amp;L)</translation>
    </message>
    <message>
        <source>&amp;Smaller Text</source>
        <translation>文字を小さく(&amp;S)</translation>
    </message>
    <message>
        <source>Book view</source>
        <translation>読書ビュー</translation>
    </message>
</context>
</TS>
