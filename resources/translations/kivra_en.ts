<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ja">
<context>
    <name>BatchMessages</name>
    <message>
        <source>フォルダを読めません</source>
        <translation>the folder cannot be read</translation>
    </message>
    <message>
        <source>ファイルを読めません</source>
        <translation>the file cannot be read</translation>
    </message>
    <message>
        <source>結果のファイルを読めません</source>
        <translation>the result files cannot be read</translation>
    </message>
    <message>
        <source>cohort.csv の表ではありません</source>
        <translation>not a cohort.csv table</translation>
    </message>
    <message>
        <source>%1 行目の列の数が見出しと違います</source>
        <translation>line %1 has another number of columns than the header</translation>
    </message>
</context>
<context>
    <name>CAboutDlg</name>
    <message>
        <source>バージョン情報</source>
        <translation>About Kivra</translation>
    </message>
    <message>
        <source>Kivra ホームページ</source>
        <translation>Kivra home page</translation>
    </message>
    <message>
        <source>ダウンロードページ</source>
        <translation>Download page</translation>
    </message>
    <message>
        <source>最新版はこちら</source>
        <translation>Latest version:</translation>
    </message>
</context>
<context>
    <name>CAnglesDlg</name>
    <message>
        <source>関節角度</source>
        <translation>Joint Angles</translation>
    </message>
    <message>
        <source>※ 角度は関節のマーカで2つの体節がなす角 (0〜180°) です。</source>
        <translation>Each angle is the angle between the two body segments that meet at the joint marker (0–180°).</translation>
    </message>
    <message>
        <source>名前</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>近位 ID</source>
        <translation>Proximal ID</translation>
    </message>
    <message>
        <source>関節 ID</source>
        <translation>Joint ID</translation>
    </message>
    <message>
        <source>遠位 ID</source>
        <translation>Distal ID</translation>
    </message>
    <message>
        <source>追加(&amp;A)</source>
        <translation>&amp;Add</translation>
    </message>
    <message>
        <source>削除(&amp;D)</source>
        <translation>&amp;Delete</translation>
    </message>
    <message>
        <source>軌跡のフィルタ</source>
        <translation>Trajectory filter</translation>
    </message>
    <message>
        <source>ローパスフィルタ (ゼロラグ4次バターワース)</source>
        <translation>Low-pass filter (zero-lag 4th-order Butterworth)</translation>
    </message>
    <message>
        <source>遮断周波数:</source>
        <translation>Cut-off frequency:</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>%1 行目: 名前は空にできず、「, = ; &quot;」は使えません。3つのマーカ ID は異なる番号にしてください。</source>
        <translation>Row %1: the name must not be empty or contain any of , = ; &quot;. The three marker IDs must be different numbers.</translation>
    </message>
    <message>
        <source>名前「%1」が2回使われています。</source>
        <translation>The name &quot;%1&quot; is used twice.</translation>
    </message>
    <message>
        <source>体幹</source>
        <translation>Trunk</translation>
    </message>
    <message>
        <source>股</source>
        <translation>Hip</translation>
    </message>
    <message>
        <source>膝</source>
        <translation>Knee</translation>
    </message>
    <message>
        <source>足首</source>
        <translation>Ankle</translation>
    </message>
    <message>
        <source>つま先</source>
        <translation>Toe</translation>
    </message>
    <message>
        <source>3点の角度</source>
        <translation>Three-point angles</translation>
    </message>
    <message>
        <source>関節角度（臨床）</source>
        <translation>Clinical joint angles</translation>
    </message>
    <message>
        <source>※ 直立姿勢で 0°。股・膝の屈曲と足関節の背屈が正、膝の過伸展は負です。</source>
        <translation>0° in the upright standing posture. Hip and knee flexion and ankle dorsiflexion are positive, knee hyperextension is negative.</translation>
    </message>
    <message>
        <source>側</source>
        <translation>Side</translation>
    </message>
    <message>
        <source>関節</source>
        <translation>Joint</translation>
    </message>
    <message>
        <source>中央 ID</source>
        <translation>Middle ID</translation>
    </message>
    <message>
        <source>右</source>
        <translation>Right</translation>
    </message>
    <message>
        <source>左</source>
        <translation>Left</translation>
    </message>
    <message>
        <source>股関節</source>
        <translation>Hip</translation>
    </message>
    <message>
        <source>膝関節</source>
        <translation>Knee</translation>
    </message>
    <message>
        <source>足関節</source>
        <translation>Ankle</translation>
    </message>
    <message>
        <source>股関節のマーカ: 体幹・股・膝 (体幹が空欄か「-」なら画面の鉛直)
膝関節のマーカ: 股・膝・足首
足関節のマーカ: 膝・足首・つま先</source>
        <translation>Hip markers: trunk, hip, knee (an empty trunk or &quot;-&quot; means the picture&apos;s vertical)
Knee markers: hip, knee, ankle
Ankle markers: knee, ankle, toe</translation>
    </message>
    <message>
        <source>追加(&amp;J)</source>
        <translation>Add &amp;Joint</translation>
    </message>
    <message>
        <source>削除(&amp;E)</source>
        <translation>D&amp;elete</translation>
    </message>
    <message>
        <source>%1のマーカ ID。空欄か「-」なら画面の鉛直を基準にします。</source>
        <translation>%1 marker ID. Leave it empty or type &quot;-&quot; to measure from the picture&apos;s vertical.</translation>
    </message>
    <message>
        <source>%1のマーカ ID</source>
        <translation>%1 marker ID</translation>
    </message>
    <message>
        <source>%1 ID</source>
        <translation>%1 ID</translation>
    </message>
    <message>
        <source>関節角度（臨床）の %1 行目 (%2%3): </source>
        <translation>Clinical joint angles, row %1 (%2 %3): </translation>
    </message>
    <message>
        <source>%1のマーカ ID を入れてください。</source>
        <translation>Enter the %1 marker ID.</translation>
    </message>
    <message>
        <source>%1のマーカ ID「%2」は番号ではありません。</source>
        <translation>The %1 marker ID &quot;%2&quot; is not a number.</translation>
    </message>
    <message>
        <source>%1のマーカ ID %2 は 1〜%3 の範囲にありません。</source>
        <translation>The %1 marker ID %2 is not between 1 and %3.</translation>
    </message>
    <message>
        <source>3つのマーカ ID は異なる番号にしてください。</source>
        <translation>The three marker IDs must be different numbers.</translation>
    </message>
    <message>
        <source>%1 行目と同じ関節です。</source>
        <translation>It is the same joint as row %1.</translation>
    </message>
</context>
<context>
    <name>CCalibrationDlg</name>
    <message>
        <source>キャリブレーション</source>
        <translation>Calibration</translation>
    </message>
    <message>
        <source>※ 画面上で長さの分かっている2点をクリックし、実際の距離を入力します。
   3点目のクリックで原点を指定できます（省略時は画像の左下）。</source>
        <translation>Click two points on the picture whose real distance is known, then enter that distance.
A third click sets the origin (otherwise the bottom left of the picture).</translation>
    </message>
    <message>
        <source>点1:</source>
        <translation>Point 1:</translation>
    </message>
    <message>
        <source>点2:</source>
        <translation>Point 2:</translation>
    </message>
    <message>
        <source>画素距離:</source>
        <translation>Distance in pixels:</translation>
    </message>
    <message>
        <source>実際の距離:</source>
        <translation>Real distance:</translation>
    </message>
    <message>
        <source>スケール:</source>
        <translation>Scale:</translation>
    </message>
    <message>
        <source>原点:</source>
        <translation>Origin:</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>やり直し</source>
        <translation>Start Over</translation>
    </message>
    <message>
        <source>クリックしてください</source>
        <translation>Click the picture</translation>
    </message>
    <message>
        <source>画像の左下</source>
        <translation>Bottom left of the picture</translation>
    </message>
</context>
<context>
    <name>CCodecListDialog</name>
    <message>
        <source>インストール済みコーデック一覧</source>
        <translation>Installed Codecs</translation>
    </message>
    <message>
        <source>最新の情報に更新(&amp;R)</source>
        <translation>&amp;Refresh</translation>
    </message>
</context>
<context>
    <name>CCompressorChooseDlg</name>
    <message>
        <source>ビデオの圧縮</source>
        <translation>Video Compression</translation>
    </message>
    <message>
        <source>コード</source>
        <translation>Code</translation>
    </message>
    <message>
        <source>エンコーダ</source>
        <translation>Encoder</translation>
    </message>
    <message>
        <source>説明</source>
        <translation>Description</translation>
    </message>
    <message>
        <source>既定</source>
        <translation>Default</translation>
    </message>
    <message>
        <source> フレーム</source>
        <translation> frames</translation>
    </message>
    <message>
        <source>指定なし</source>
        <translation>Not set</translation>
    </message>
    <message>
        <source> KB/秒</source>
        <translation> KB/s</translation>
    </message>
    <message>
        <source>圧縮の品質 (0-10000):</source>
        <translation>Compression quality (0-10000):</translation>
    </message>
    <message>
        <source>キー フレーム間隔:</source>
        <translation>Key frame every:</translation>
    </message>
    <message>
        <source>データ レート:</source>
        <translation>Data rate:</translation>
    </message>
    <message>
        <source>エンコーダ オプション:</source>
        <translation>Encoder options:</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>圧縮プログラム:</source>
        <translation>Compressor:</translation>
    </message>
</context>
<context>
    <name>CConfigTrimming</name>
    <message>
        <source>トリミングの設定</source>
        <translation>Trimming Settings</translation>
    </message>
    <message>
        <source>出力する動画のサイズ</source>
        <translation>Output movie size</translation>
    </message>
    <message>
        <source>動画の向き</source>
        <translation>Movie orientation</translation>
    </message>
    <message>
        <source>縦</source>
        <translation>Portrait</translation>
    </message>
    <message>
        <source>横</source>
        <translation>Landscape</translation>
    </message>
    <message>
        <source>詳細...</source>
        <translation>Details...</translation>
    </message>
    <message>
        <source>変換コーデック:</source>
        <translation>Output codec:</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>CKinematicsCommands</name>
    <message>
        <source>キャリブレーションの保存に失敗しました。
</source>
        <translation>The calibration could not be saved.
</translation>
    </message>
    <message>
        <source>関節角度の設定を保存できませんでした。
</source>
        <translation>The joint angle settings could not be saved.
</translation>
    </message>
    <message>
        <source>フレームレートが分からないため、フィルタをかけられません。</source>
        <translation>The frame rate of the movie is unknown, so the filter cannot be applied.</translation>
    </message>
    <message>
        <source>フィルタの遮断周波数はフレームレートの半分 (%1 Hz) より低くしてください。</source>
        <translation>The cut-off frequency of the filter must be below half the frame rate (%1 Hz).</translation>
    </message>
    <message>
        <source>キャリブレーションのスケールが正しくありません。</source>
        <translation>The calibration scale is not valid.</translation>
    </message>
    <message>
        <source>次の角度はマーカにデータがないため空欄です。</source>
        <translation>These angles are left blank because a marker has no data:</translation>
    </message>
    <message>
        <source>動画が開かれていません。</source>
        <translation>No movie is open.</translation>
    </message>
    <message>
        <source>キャリブレーションを保存しました: %1</source>
        <translation>Calibration saved: %1</translation>
    </message>
    <message>
        <source>運動学データを出力しました: %1</source>
        <translation>Kinematics written: %1</translation>
    </message>
    <message>
        <source>キャリブレーションファイルが壊れています。
%1
(%2)</source>
        <translation>The calibration file is damaged.
%1
(%2)</translation>
    </message>
</context>
<context>
    <name>CKinematicsPlotWnd</name>
    <message>
        <source>グラフ</source>
        <translation>Graph</translation>
    </message>
    <message>
        <source>角度 (°)</source>
        <translation>Angle (°)</translation>
    </message>
    <message>
        <source>画像を保存(&amp;S)...</source>
        <translation>&amp;Save Picture...</translation>
    </message>
    <message>
        <source>表示する系列:</source>
        <translation>Series to show:</translation>
    </message>
    <message>
        <source>角度 %1</source>
        <translation>Angle %1</translation>
    </message>
    <message>
        <source>時間 (s)</source>
        <translation>Time (s)</translation>
    </message>
    <message>
        <source>フレーム</source>
        <translation>Frame</translation>
    </message>
    <message>
        <source>位置 (mm)</source>
        <translation>Position (mm)</translation>
    </message>
    <message>
        <source>位置 (pixel)</source>
        <translation>Position (pixels)</translation>
    </message>
    <message>
        <source>グラフの保存に失敗しました。</source>
        <translation>The graph could not be saved.</translation>
    </message>
</context>
<context>
    <name>CMainFrame</name>
    <message>
        <source>最近使ったﾌｧｲﾙ</source>
        <translation>Recent File</translation>
    </message>
    <message>
        <source>ファイル(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>表示(&amp;V)</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>動画(&amp;O)</source>
        <translation>M&amp;ovie</translation>
    </message>
    <message>
        <source>トリミング(&amp;T)</source>
        <translation>&amp;Trimming</translation>
    </message>
    <message>
        <source>マーカ(&amp;M)</source>
        <translation>&amp;Markers</translation>
    </message>
    <message>
        <source>ヘルプ(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>開く(&amp;O)...	Ctrl+O</source>
        <translation>&amp;Open...	Ctrl+O</translation>
    </message>
    <message>
        <source>閉じる(&amp;C)</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>動画保存(&amp;M)...</source>
        <translation>Save &amp;Movie...</translation>
    </message>
    <message>
        <source>終了(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
    <message>
        <source>画像情報( &amp;I )	Ctrl + I</source>
        <translation>Image &amp;Information	Ctrl + I</translation>
    </message>
    <message>
        <source>インターレース除去(&amp;D)	Ctrl + D</source>
        <translation>&amp;Deinterlace	Ctrl + D</translation>
    </message>
    <message>
        <source>最初(&amp;F)	Home</source>
        <translation>&amp;First Frame	Home</translation>
    </message>
    <message>
        <source>戻る(&amp;B)	&lt;-</source>
        <translation>&amp;Back One Frame	&lt;-</translation>
    </message>
    <message>
        <source>停止(&amp;S)	F7</source>
        <translation>&amp;Stop	F7</translation>
    </message>
    <message>
        <source>再生(&amp;P)	F8</source>
        <translation>&amp;Play	F8</translation>
    </message>
    <message>
        <source>進む(&amp;N)	-&gt;</source>
        <translation>&amp;Next Frame	-&gt;</translation>
    </message>
    <message>
        <source>最後(&amp;L)	End</source>
        <translation>&amp;Last Frame	End</translation>
    </message>
    <message>
        <source>フレームをビットマップで保存</source>
        <translation>Save Frame as Bitmap</translation>
    </message>
    <message>
        <source>バージョン情報(&amp;A)...</source>
        <translation>&amp;About Kivra...</translation>
    </message>
    <message>
        <source>スライダーバー</source>
        <translation>Slider Bar</translation>
    </message>
    <message>
        <source>側面モード(&amp;S)</source>
        <translation>&amp;Side Mode</translation>
    </message>
    <message>
        <source>正面モード(&amp;F)</source>
        <translation>&amp;Front Mode</translation>
    </message>
    <message>
        <source>設定(&amp;G)...</source>
        <translation>Settin&amp;gs...</translation>
    </message>
    <message>
        <source>エリア指定(&amp;A)</source>
        <translation>Set &amp;Areas</translation>
    </message>
    <message>
        <source>エリアクリア(&amp;C)</source>
        <translation>&amp;Clear Areas</translation>
    </message>
    <message>
        <source>モザイク領域の形(&amp;M)</source>
        <translation>&amp;Mosaic Shape</translation>
    </message>
    <message>
        <source>モザイクなし(&amp;N)</source>
        <translation>&amp;No Mosaic</translation>
    </message>
    <message>
        <source>タイプ1(&amp;1)</source>
        <translation>Type &amp;1</translation>
    </message>
    <message>
        <source>タイプ2(&amp;2)</source>
        <translation>Type &amp;2</translation>
    </message>
    <message>
        <source>タイプ3(&amp;3)</source>
        <translation>Type &amp;3</translation>
    </message>
    <message>
        <source>プレビュー(&amp;P)</source>
        <translation>&amp;Preview</translation>
    </message>
    <message>
        <source>IDの指定(&amp;I)...</source>
        <translation>Set &amp;ID...</translation>
    </message>
    <message>
        <source>削除(&amp;D)</source>
        <translation>&amp;Delete</translation>
    </message>
    <message>
        <source>表示フレーム(&amp;C)</source>
        <translation>&amp;Current Frame</translation>
    </message>
    <message>
        <source>全フレーム(&amp;A)</source>
        <translation>&amp;All Frames</translation>
    </message>
    <message>
        <source>軌跡を表示(&amp;L)</source>
        <translation>Show &amp;Trajectories</translation>
    </message>
    <message>
        <source>保存(&amp;S)</source>
        <translation>&amp;Save Markers</translation>
    </message>
    <message>
        <source>座標出力(&amp;T)...</source>
        <translation>Export &amp;Coordinates...</translation>
    </message>
    <message>
        <source>コーデック一覧</source>
        <translation>Codec List</translation>
    </message>
    <message>
        <source>テキスト情報</source>
        <translation>Text Information</translation>
    </message>
    <message>
        <source>ナビゲーター(&amp;N)</source>
        <translation>&amp;Navigator</translation>
    </message>
    <message>
        <source>ツール バー(&amp;T)</source>
        <translation>&amp;Toolbars</translation>
    </message>
    <message>
        <source>動画(&amp;M)</source>
        <translation>&amp;Movie</translation>
    </message>
    <message>
        <source>モザイク領域の形(&amp;R)</source>
        <translation>Mosaic &amp;Shape</translation>
    </message>
    <message>
        <source>ステータス バー(&amp;S)</source>
        <translation>Status &amp;Bar</translation>
    </message>
    <message>
        <source>元に戻す(&amp;U)	Ctrl+Z</source>
        <translation>&amp;Undo	Ctrl+Z</translation>
    </message>
    <message>
        <source>やり直し(&amp;R)	Ctrl+Y</source>
        <translation>&amp;Redo	Ctrl+Y</translation>
    </message>
    <message>
        <source>キャリブレーション(&amp;B)...</source>
        <translation>Cali&amp;bration...</translation>
    </message>
    <message>
        <source>関節角度(&amp;J)...</source>
        <translation>&amp;Joint Angles...</translation>
    </message>
    <message>
        <source>運動学出力(&amp;K)...</source>
        <translation>Export &amp;Kinematics...</translation>
    </message>
    <message>
        <source>グラフ(&amp;G)</source>
        <translation>&amp;Graph</translation>
    </message>
    <message>
        <source>マーカを追跡(&amp;F)	Ctrl+T</source>
        <translation>&amp;Follow Markers	Ctrl+T</translation>
    </message>
    <message>
        <source>逆再生(&amp;R)	Shift+F8</source>
        <translation>&amp;Reverse Play	Shift+F8</translation>
    </message>
    <message>
        <source>動画を保存しました: %1</source>
        <translation>Movie saved: %1</translation>
    </message>
    <message>
        <source>動画を変換せずに開く(&amp;R)</source>
        <translation>&amp;Read Videos Without Conversion</translation>
    </message>
    <message>
        <source>クイックスタート(&amp;Q)</source>
        <translation>&amp;Quick Start</translation>
    </message>
    <message>
        <source>マーカを置くには、まず[トリミング]-[エリア指定]でエリア１とエリア２を指定してください。</source>
        <translation>To place markers, first set area 1 and area 2 with [Trimming]-[Set Areas].</translation>
    </message>
    <message>
        <source>マーカを置くには、[トリミング]-[プレビュー]でプレビューモードにしてください。</source>
        <translation>To place markers, turn on preview mode with [Trimming]-[Preview].</translation>
    </message>
    <message>
        <source>マーカを置くには、[マーカ]-[IDの指定]でマーカのIDを選んでください。</source>
        <translation>To place markers, choose a marker ID with [Markers]-[Set ID].</translation>
    </message>
</context>
<context>
    <name>CMirandelApp</name>
    <message>
        <source>開く</source>
        <translation>Open</translation>
    </message>
</context>
<context>
    <name>CProgressDlg</name>
    <message>
        <source>変換状況...</source>
        <translation>Progress...</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>残り時間 約 %1</source>
        <translation>About %1 left</translation>
    </message>
</context>
<context>
    <name>CQuickStartDlg</name>
    <message>
        <source>クイックスタート</source>
        <translation>Quick Start</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>CSetMarkerIDDlg</name>
    <message>
        <source>ID 指定</source>
        <translation>Set ID</translation>
    </message>
    <message>
        <source>※ 画面をクリックしてIDを指定します</source>
        <translation>Click the picture to place this ID.</translation>
    </message>
    <message>
        <source>クリック時の動作</source>
        <translation>After each click</translation>
    </message>
    <message>
        <source>IDを増加する</source>
        <translation>Go to the next ID</translation>
    </message>
    <message>
        <source>フレームをスキップする*</source>
        <translation>Skip ahead*</translation>
    </message>
    <message>
        <source>スキップ：</source>
        <translation>Skip:</translation>
    </message>
    <message>
        <source>1 から 100 の整数を入力してください。</source>
        <translation>Enter a whole number from 1 to 100.</translation>
    </message>
    <message>
        <source>フレーム</source>
        <translation>frames</translation>
    </message>
    <message>
        <source>* スキップしたフレームは直線補間します</source>
        <translation>* Skipped frames are filled in by linear interpolation.</translation>
    </message>
    <message>
        <source>スキップしたフレームは追跡で補間する</source>
        <translation>Fill skipped frames by following the point</translation>
    </message>
    <message>
        <source>* スキップしたフレームは追跡で補間します</source>
        <translation>* Skipped frames are filled in by following the point.</translation>
    </message>
</context>
<context>
    <name>CSliderDlgBar</name>
    <message>
        <source>再生速度: x</source>
        <translation>Speed: x</translation>
    </message>
</context>
<context>
    <name>CTextStreamDialog</name>
    <message>
        <source>テキストストリーム情報</source>
        <translation>Text Stream Information</translation>
    </message>
</context>
<context>
    <name>CTrimmingCommands</name>
    <message>
        <source>マーカを追跡しています</source>
        <translation>Following markers</translation>
    </message>
    <message>
        <source>マーカを追跡できませんでした。</source>
        <translation>The markers could not be followed.</translation>
    </message>
    <message>
        <source>ID %1: フレーム %2 で見失いました</source>
        <translation>ID %1: lost at frame %2</translation>
    </message>
    <message>
        <source>次のマーカは途中で追跡を止めました。</source>
        <translation>Following stopped early for these markers:</translation>
    </message>
    <message>
        <source>マーカを保存しました: %1</source>
        <translation>Markers saved: %1</translation>
    </message>
    <message>
        <source>座標を出力しました: %1</source>
        <translation>Coordinates written: %1</translation>
    </message>
    <message>
        <source>トリミング後の画像のピクセルで出力するため、トリミングエリアが必要です。画像のピクセルやミリメートルでは運動学出力を使ってください。</source>
        <translation>Gives positions in the trimmed picture&apos;s pixels, so it needs the trimming areas. For image pixels or millimetres, use Export Kinematics.</translation>
    </message>
</context>
<context>
    <name>CVfwView</name>
    <message>
        <source>削除(&amp;D)</source>
        <translation>&amp;Delete</translation>
    </message>
    <message>
        <source>削除(全フレーム)(&amp;U)</source>
        <translation>Delete This ID on &amp;All Frames</translation>
    </message>
</context>
<context>
    <name>CliMessages</name>
    <message>
        <source>角度 %1 (マーカ %2) には、%3 の再生範囲にデータがありません</source>
        <translation>angle %1 names marker %2, which has no data in the play range of %3</translation>
    </message>
    <message>
        <source>マーカ ID は 1 から %1 までの整数です</source>
        <translation>marker IDs are whole numbers from 1 to %1</translation>
    </message>
    <message>
        <source>右の踵</source>
        <translation>R heel</translation>
    </message>
    <message>
        <source>右のつま先</source>
        <translation>R toe</translation>
    </message>
    <message>
        <source>左の踵</source>
        <translation>L heel</translation>
    </message>
    <message>
        <source>左のつま先</source>
        <translation>L toe</translation>
    </message>
    <message>
        <source>骨盤</source>
        <translation>pelvis</translation>
    </message>
    <message>
        <source>%1 (マーカ %2) には、%3 の再生範囲にデータがありません</source>
        <translation>%1 names marker %2, which has no data in the play range of %3</translation>
    </message>
    <message>
        <source>%1: %2 (イベントを検出し直すには --detect を指定してください)</source>
        <translation>%1: %2 (give --detect to detect the events afresh)</translation>
    </message>
    <message>
        <source>動画が開かれていません</source>
        <translation>no video</translation>
    </message>
    <message>
        <source>警告: %1</source>
        <translation>warning: %1</translation>
    </message>
    <message>
        <source>フレーム %1-%2 の右のストライドを除外しました: %3</source>
        <translation>the right stride of frames %1-%2 is left out: %3</translation>
    </message>
    <message>
        <source>フレーム %1-%2 の左のストライドを除外しました: %3</source>
        <translation>the left stride of frames %1-%2 is left out: %3</translation>
    </message>
    <message>
        <source>踵とつま先には別の ID を指定してください</source>
        <translation>give two different IDs for the heel and the toe</translation>
    </message>
    <message>
        <source>SIDE=HEEL,TOE の形で 2 つのマーカ ID を指定してください</source>
        <translation>give SIDE=HEEL,TOE with two marker IDs</translation>
    </message>
    <message>
        <source>%1 のマーカファイルがありません</source>
        <translation>no marker file for %1</translation>
    </message>
    <message>
        <source>%1: %2 (キャリブレーションなしで進めるには --scale を指定してください)</source>
        <translation>%1: %2 (give --scale to work without it)</translation>
    </message>
    <message>
        <source>0 より大きい数値を指定してください (ピクセルあたりのミリメートル)</source>
        <translation>give a number above 0 (millimetres per pixel)</translation>
    </message>
    <message>
        <source>0 より大きい数値を指定してください (Hz)</source>
        <translation>give a number above 0 (Hz)</translation>
    </message>
    <message>
        <source>%1 が 2 回指定されています</source>
        <translation>%1 is given twice</translation>
    </message>
    <message>
        <source>角度の名前 %1 が 2 回指定されています</source>
        <translation>the angle name %1 is given twice</translation>
    </message>
    <message>
        <source>左右は R か L で指定してください</source>
        <translation>the side must be R or L</translation>
    </message>
    <message>
        <source>0 より大きく %1 未満の長さを mm で指定してください</source>
        <translation>give a length in mm above 0 and below %1</translation>
    </message>
    <message>
        <source>角度の名前 %1 は --joint %2 の列と重なります。角度に別の名前を付けてください</source>
        <translation>the angle name %1 would repeat the columns of --joint %2; give the angle another name</translation>
    </message>
    <message>
        <source>フォルダを作れません</source>
        <translation>the folder cannot be made</translation>
    </message>
    <message>
        <source>ファイルに書き込めません</source>
        <translation>the file cannot be written</translation>
    </message>
    <message>
        <source>%1 のファイルは 1 つの角度の基準範囲です。--reference ANGLE=FILE の形で、ANGLE に角度の名前 (knee_R など。両側なら knee) を指定してください</source>
        <translation>a %1 file is the band of one angle; give it as --reference ANGLE=FILE, ANGLE one of the angles&apos; names (such as knee_R, or knee for both sides)</translation>
    </message>
    <message>
        <source>--by frames FA,FB: 同じ瞬間を写す A と B のフレーム番号を指定してください</source>
        <translation>--by frames FA,FB: give the frame numbers of A and B that show the same moment</translation>
    </message>
    <message>
        <source>ずれを求められません (%1): %2</source>
        <translation>no offset found (%1): %2</translation>
    </message>
    <message>
        <source>%1: %2。閃光でずれを求めます</source>
        <translation>%1: %2; looking for a flash instead</translation>
    </message>
    <message>
        <source>フレーム番号が動画の範囲外です</source>
        <translation>a frame number is outside the video</translation>
    </message>
    <message>
        <source>%1: %2 (正面のキャリブレーションなしで進めるには --front-scale を指定してください)</source>
        <translation>%1: %2 (give --front-scale to go on without the front view&apos;s calibration)</translation>
    </message>
    <message>
        <source>フレーム %1-%2 のストライドは正面の動画の外です</source>
        <translation>the stride of frames %1-%2 lies outside the front video</translation>
    </message>
    <message>
        <source>%1 と %2 のずれがありません: --offset を指定するか、kivra-cli sync %1 %2 --save を実行してください</source>
        <translation>no offset between %1 and %2: give --offset or run kivra-cli sync %1 %2 --save</translation>
    </message>
    <message>
        <source>正面のオプションには --front VIDEO も指定してください</source>
        <translation>the front view&apos;s options need --front VIDEO as well</translation>
    </message>
    <message>
        <source>R,L または R,L,TRUNK の形でマーカ ID を指定してください</source>
        <translation>give the marker IDs as R,L or R,L,TRUNK</translation>
    </message>
    <message>
        <source>SIDE=HIP,KNEE,ANKLE,HEEL の形で左右 (R か L) と 4 つのマーカ ID (使わないものは -) を指定してください</source>
        <translation>give the side (R or L) and four marker IDs as SIDE=HIP,KNEE,ANKLE,HEEL (- for one left out)</translation>
    </message>
    <message>
        <source>秒数を 0.35、-1.001、-1001/30000 のように指定してください (正面の時刻 = 側面の時刻 + ずれ)</source>
        <translation>give the seconds as 0.35, -1.001 or -1001/30000 (front time = side time + offset)</translation>
    </message>
    <message>
        <source>C3D ファイルに書けるのはフレーム 65535 までです</source>
        <translation>a C3D file holds frames up to 65535 only</translation>
    </message>
    <message>
        <source>C3D ファイルに書けるマーカは 255 個までです</source>
        <translation>a C3D file holds at most 255 markers</translation>
    </message>
    <message>
        <source>C3D ファイルに書けるイベントは 255 個までです</source>
        <translation>a C3D file holds at most 255 events</translation>
    </message>
    <message>
        <source>動画のフレームレートがわかりません</source>
        <translation>the video&apos;s frame rate is unknown</translation>
    </message>
    <message>
        <source>1 から 256 までの整数を指定してください</source>
        <translation>give a whole number from 1 to 256</translation>
    </message>
    <message>
        <source>%1 本中 成功 %2、失敗 %3、スキップ %4: %5</source>
        <translation>%1 videos: %2 ok, %3 failed, %4 skipped: %5</translation>
    </message>
    <message>
        <source>ファイルを読めません</source>
        <translation>the file cannot be read</translation>
    </message>
    <message>
        <source>前回の結果を使います</source>
        <translation>the result of an earlier run is kept</translation>
    </message>
    <message>
        <source>%1 %2: 日付は YYYY-MM-DD の形で指定してください</source>
        <translation>%1 %2: give the date as YYYY-MM-DD</translation>
    </message>
    <message>
        <source>%1 の正面のマーカがありません: --front-pelvis か --front-foot で指定してください</source>
        <translation>no front markers for %1: give them with --front-pelvis or --front-foot</translation>
    </message>
    <message>
        <source>%1 の足のマーカが設定されていません: --foot SIDE=HEEL,TOE で指定するか、ウィンドウの「足のマーカ」で設定してください</source>
        <translation>no foot markers set for %1: give --foot SIDE=HEEL,TOE or set them with Foot Markers in the window</translation>
    </message>
</context>
<context>
    <name>CompareReport</name>
    <message>
        <source>解析結果がありません</source>
        <translation>There is no analysis</translation>
    </message>
    <message>
        <source>歩行分析 比較レポート</source>
        <translation>Gait Analysis Comparison Report</translation>
    </message>
    <message>
        <source>%1 %2</source>
        <comment>chart title: angle, side</comment>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>作成日時: %1</source>
        <translation>Made: %1</translation>
    </message>
    <message>
        <source>氏名 / ID: %1</source>
        <translation>Name / ID: %1</translation>
    </message>
    <message>
        <source>%1 mm/ピクセル</source>
        <translation>%1 mm/pixel</translation>
    </message>
    <message>
        <source>ピクセル: キャリブレーションなし</source>
        <translation>pixels: no calibration</translation>
    </message>
    <message>
        <source>%1 フレーム/秒</source>
        <translation>%1 frames/s</translation>
    </message>
    <message>
        <source>前回 (比較前)</source>
        <translation>Before (earlier visit)</translation>
    </message>
    <message>
        <source>今回 (比較後)</source>
        <translation>After (this visit)</translation>
    </message>
    <message>
        <source>動画</source>
        <translation>Video</translation>
    </message>
    <message>
        <source>日付</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>フレームレート</source>
        <translation>Frame rate</translation>
    </message>
    <message>
        <source>キャリブレーション</source>
        <translation>Calibration</translation>
    </message>
    <message>
        <source>一方の動画にキャリブレーションがないため、長さと速度の差は計算していません。</source>
        <translation>One video has no calibration, so lengths and speeds are not compared.</translation>
    </message>
    <message>
        <source>長さと速度はピクセル単位です: 同じカメラ位置で撮影した場合にのみ比較できます。</source>
        <translation>Lengths and speeds are in pixels: they compare only when both were filmed from the same camera position.</translation>
    </message>
    <message>
        <source>差は今回から前回を引いた値、変化率は前回に対する百分率です。フレームレートや歩行方向が違っても、時間は秒、長さは進行方向に沿って測っています。</source>
        <translation>The difference is after minus before, the change a percentage of before. Times are in seconds and lengths along the walking direction, whatever the frame rate or the direction of walking.</translation>
    </message>
    <message>
        <source>%1の可動域</source>
        <translation>%1 range of motion</translation>
    </message>
    <message>
        <source>矢状面プロファイルスコア</source>
        <translation>Sagittal profile score</translation>
    </message>
    <message>
        <source>両側</source>
        <translation>Both</translation>
    </message>
    <message>
        <source>項目</source>
        <translation>Parameter</translation>
    </message>
    <message>
        <source>側</source>
        <translation>Side</translation>
    </message>
    <message>
        <source>単位</source>
        <translation>Unit</translation>
    </message>
    <message>
        <source>前回</source>
        <translation>Before</translation>
    </message>
    <message>
        <source>今回</source>
        <translation>After</translation>
    </message>
    <message>
        <source>差</source>
        <translation>Difference</translation>
    </message>
    <message>
        <source>変化率 [%]</source>
        <translation>Change [%]</translation>
    </message>
    <message>
        <source>歩行パラメータの変化</source>
        <translation>Changes in the gait parameters</translation>
    </message>
    <message>
        <source>矢状面プロファイルスコア (正常範囲からの RMS 偏差): 前回 %1 (右 %2、左 %3)、今回 %4 (右 %5、左 %6)</source>
        <translation>Sagittal profile score (RMS deviation from the normal band): before %1 (right %2, left %3), after %4 (right %5, left %6)</translation>
    </message>
    <message>
        <source>矢状面プロファイルスコア: 正常範囲が指定されていないため、ありません。</source>
        <translation>Sagittal profile score: none, as no normal band was given.</translation>
    </message>
    <message>
        <source>%1の踵接地</source>
        <translation>%1 heel strike</translation>
    </message>
    <message>
        <source>%1の足尖離地</source>
        <translation>%1 toe-off</translation>
    </message>
    <message>
        <source>静止画: 最初のストライドの%1</source>
        <translation>Stills: %1 of the first stride</translation>
    </message>
    <message>
        <source>前回 %1: フレーム %2</source>
        <translation>Before %1: frame %2</translation>
    </message>
    <message>
        <source>今回 %1: フレーム %2</source>
        <translation>After %1: frame %2</translation>
    </message>
    <message>
        <source>顔のモザイクは切り出し動画と同じ位置にかけています。</source>
        <translation>Faces are masked with the mosaic of the trimmed movie, in the same place.</translation>
    </message>
    <message>
        <source>データなし</source>
        <translation>No data</translation>
    </message>
    <message>
        <source>前回の平均 (%1)</source>
        <translation>Mean before (%1)</translation>
    </message>
    <message>
        <source>今回の平均 (%1)</source>
        <translation>Mean after (%1)</translation>
    </message>
    <message>
        <source>正常範囲 (平均 ± SD)</source>
        <translation>Normal band (mean ± SD)</translation>
    </message>
    <message>
        <source>正常範囲のファイル: %1</source>
        <translation>Normal band files: %1</translation>
    </message>
    <message>
        <source>関節角度の平均周期曲線</source>
        <translation>Mean joint angle cycles</translation>
    </message>
</context>
<context>
    <name>CoordinateCsv</name>
    <message>
        <source>再生範囲にトリミングエリアが設定されていないため、座標CSVに出力できる座標がありません。
座標CSVは、トリミング後の出力画像のピクセルで位置を出力します。
画像のピクセル (キャリブレーションがあればミリメートル) で出力するには、運動学出力 (kivra-cli kinematics) を使ってください。</source>
        <translation>No trimming area is set in the play range, so the coordinate CSV would hold no coordinate.
The coordinate CSV gives positions in the pixels of the trimmed output picture.
For positions in image pixels (millimetres with a calibration), use Export Kinematics (kivra-cli kinematics).</translation>
    </message>
</context>
<context>
    <name>GaitMessages</name>
    <message>
        <source>%1からはストライドが得られません: マーカが再生範囲で続けて最大 %2 フレームしかなく、立脚期を見るには %3 フレーム必要です</source>
        <translation>%1 gives no stride: its markers have at most %2 frames in a row in the play range, and a stance needs %3 to be seen</translation>
    </message>
    <message>
        <source>%1からはストライドが得られません: 再生範囲の踵接地が %2 回で、ストライドには足尖離地を挟んだ 2 回が必要です</source>
        <translation>%1 gives no stride: %2 heel strike(s) in the play range, and a stride needs two with a toe-off between</translation>
    </message>
    <message>
        <source>足のマーカが指定されていません</source>
        <translation>no foot markers are chosen</translation>
    </message>
    <message>
        <source>フレーム %1-%2: %3</source>
        <translation>frames %1-%2: %3</translation>
    </message>
    <message>
        <source>フレーム %1 の右の踵接地が再生範囲 (フレーム %2 から %3) の外にあります</source>
        <translation>a right heel strike at frame %1 lies outside the play range (frames %2 to %3)</translation>
    </message>
    <message>
        <source>フレーム %1 の左の踵接地が再生範囲 (フレーム %2 から %3) の外にあります</source>
        <translation>a left heel strike at frame %1 lies outside the play range (frames %2 to %3)</translation>
    </message>
    <message>
        <source>フレーム %1 の右の足尖離地が再生範囲 (フレーム %2 から %3) の外にあります</source>
        <translation>a right toe-off at frame %1 lies outside the play range (frames %2 to %3)</translation>
    </message>
    <message>
        <source>フレーム %1 の左の足尖離地が再生範囲 (フレーム %2 から %3) の外にあります</source>
        <translation>a left toe-off at frame %1 lies outside the play range (frames %2 to %3)</translation>
    </message>
    <message>
        <source>右足</source>
        <translation>the right foot</translation>
    </message>
    <message>
        <source>左足</source>
        <translation>the left foot</translation>
    </message>
    <message>
        <source>動画にフレームレートがありません</source>
        <translation>the video has no frame rate</translation>
    </message>
    <message>
        <source>踵とつま先のマーカに連続したフレームが少なすぎます</source>
        <translation>the heel and toe markers have too few frames in a row</translation>
    </message>
    <message>
        <source>%1 行目: %2</source>
        <translation>line %1: %2</translation>
    </message>
    <message>
        <source>歩行イベントファイルではありません</source>
        <translation>this is not a gait events file</translation>
    </message>
    <message>
        <source>ファイルのバージョン %1 はこのプログラムでは読めません</source>
        <translation>the file is of version %1, which this program does not read</translation>
    </message>
    <message>
        <source>不明な項目 &quot;%1&quot;</source>
        <translation>unknown entry &quot;%1&quot;</translation>
    </message>
    <message>
        <source>イベントにはフレーム、足、種類が必要です</source>
        <translation>an event needs a frame, a side and a kind</translation>
    </message>
    <message>
        <source>イベントの時刻はそのフレームから半フレーム以内でなければなりません</source>
        <translation>an event&apos;s moment lies within half a frame of its frame</translation>
    </message>
    <message>
        <source>足は R か L で指定してください</source>
        <translation>the side must be R or L</translation>
    </message>
    <message>
        <source>イベントは HS か TO で指定してください</source>
        <translation>the event must be HS or TO</translation>
    </message>
    <message>
        <source>ファイルを読めません</source>
        <translation>the file cannot be read</translation>
    </message>
    <message>
        <source>歩行イベントファイルとしては大きすぎます</source>
        <translation>the file is too large to be a gait events file</translation>
    </message>
    <message>
        <source>間のイベントが歩行の順序 (HS、反対側の TO、反対側の HS、TO、HS) に沿っていません</source>
        <translation>the events between do not follow the walking pattern (HS, opposite TO, opposite HS, TO, HS)</translation>
    </message>
    <message>
        <source>右のつま先マーカの欠落 (フレーム %1-%2)</source>
        <translation>gap in the right toe marker, frames %1-%2</translation>
    </message>
    <message>
        <source>左のつま先マーカの欠落 (フレーム %1-%2)</source>
        <translation>gap in the left toe marker, frames %1-%2</translation>
    </message>
    <message>
        <source>右の踵マーカの欠落 (フレーム %1-%2)</source>
        <translation>gap in the right heel marker, frames %1-%2</translation>
    </message>
    <message>
        <source>左の踵マーカの欠落 (フレーム %1-%2)</source>
        <translation>gap in the left heel marker, frames %1-%2</translation>
    </message>
    <message>
        <source>長さはピクセル単位です: 動画にキャリブレーションがありません</source>
        <translation>lengths are in pixels: the video has no calibration</translation>
    </message>
    <message>
        <source>%1のストライドは %2 件です。%3 件未満ではばらつきを読み取れません</source>
        <translation>%1 has %2 stride(s); fewer than %3 give no spread worth reading</translation>
    </message>
    <message>
        <source>1 歩が %1 フレームしかありません: イベント時刻の半フレームのずれが 1 歩の %2 % に当たります</source>
        <translation>%1 frames a step: half a frame of event timing is %2 % of a step</translation>
    </message>
    <message>
        <source>%1の長さがストライドにより %2 % 変わります: カメラに近づくか遠ざかって歩いています</source>
        <translation>%1 looks %2 % longer in one stride than in another: the walker walks towards or away from the camera</translation>
    </message>
    <message>
        <source>%1の長さがストライドにより %2 % 変わります: カメラが捉える面から外れています</source>
        <translation>%1 looks %2 % longer in one stride than in another: the walker leaves the plane the camera sees</translation>
    </message>
    <message>
        <source>体節 %1 の長さがストライドにより %2 % 変わります: カメラに近づくか遠ざかって歩いています</source>
        <translation>the segment %1 looks %2 % longer in one stride than in another: the walker walks towards or away from the camera</translation>
    </message>
    <message>
        <source>体節 %1 の長さがストライドにより %2 % 変わります: カメラが捉える面から外れています</source>
        <translation>the segment %1 looks %2 % longer in one stride than in another: the walker leaves the plane the camera sees</translation>
    </message>
    <message>
        <source>%1 件のストライドでマーカの欠落によりイベントが失われました</source>
        <translation>%1 stride(s) lost an event to a marker gap</translation>
    </message>
    <message>
        <source>%1 件のストライドを除外しました: イベントが歩行の順序に沿っていません</source>
        <translation>%1 stride(s) left out: their events do not follow the walking pattern</translation>
    </message>
    <message>
        <source>元の動画のフレームレートが一定ではありません: %1 フレーム中 %2 フレームが前と同じ画像で、%3 枚の画像が %4 フレーム/秒のフレームの間に落ちています。そこでは時間と速度が 1 フレームずれることがあります</source>
        <translation>the source&apos;s frame rate varies: of %1 frames %2 repeat the picture before and %3 picture(s) fall between frames at %4 frames per second; times and speeds may be a frame off there</translation>
    </message>
    <message>
        <source>ファイルがありません</source>
        <translation>there is no such file</translation>
    </message>
    <message>
        <source>ファイルではなくフォルダです</source>
        <translation>this is a folder, not a file</translation>
    </message>
    <message>
        <source>通常のファイルではありません</source>
        <translation>this is not a regular file</translation>
    </message>
    <message>
        <source>ファイルが 1 MB を超えています</source>
        <translation>the file is larger than 1 MB</translation>
    </message>
    <message>
        <source>このファイルは角度ごとの基準範囲 (Angle,Percent,Mean,SD) を持つため、1 つの角度には結び付けられません</source>
        <translation>the file names its own angles (Angle,Percent,Mean,SD); it is not tied to one angle</translation>
    </message>
    <message>
        <source>%1 行目が %2 の形式ではありません: &quot;%3&quot;</source>
        <translation>line %1 is not %2: &quot;%3&quot;</translation>
    </message>
    <message>
        <source>SD が負の値です</source>
        <translation>a negative SD</translation>
    </message>
    <message>
        <source>Mean と SD は -360 から 360 までの関節角度 (度) です</source>
        <translation>Mean and SD are joint angles in degrees, from -360 to 360</translation>
    </message>
    <message>
        <source>角度が 256 を超えています</source>
        <translation>more than 256 angles</translation>
    </message>
    <message>
        <source>Percent の値が昇順になっていません</source>
        <translation>the percents do not ascend</translation>
    </message>
    <message>
        <source>%1 の Percent の値が昇順になっていません</source>
        <translation>the percents do not ascend for %1</translation>
    </message>
    <message>
        <source>ファイルに %1 の行がありません</source>
        <translation>the file holds no %1 rows</translation>
    </message>
    <message>
        <source>Percent の値が 0 から 100 までを網羅していません</source>
        <translation>the percents do not cover 0 to 100</translation>
    </message>
    <message>
        <source>%1 の Percent の値が 0 から 100 までを網羅していません</source>
        <translation>the percents do not cover 0 to 100 for %1</translation>
    </message>
    <message>
        <source>Percent,Mean,SD のファイルは 1 つの角度の基準範囲です: 角度を指定してください</source>
        <translation>a Percent,Mean,SD file is the band of one angle: name the angle</translation>
    </message>
    <message>
        <source>ファイルが UTF-8 のテキストではありません</source>
        <translation>the file is not UTF-8 text</translation>
    </message>
    <message>
        <source>患者・検査情報のファイルではありません</source>
        <translation>this is not a report header file</translation>
    </message>
    <message>
        <source>&quot;%1&quot; が 2 回指定されています</source>
        <translation>&quot;%1&quot; is given twice</translation>
    </message>
    <message>
        <source>脚長は 0 より大きく %1 未満の mm の数値でなければなりません</source>
        <translation>the leg length must be a number of mm above 0 and below %1</translation>
    </message>
    <message>
        <source>バックスラッシュは \\、\n、\r、\t、\s、\xHH のいずれかの始まりでなければなりません</source>
        <translation>a backslash must start \\, \n, \r, \t, \s or \xHH</translation>
    </message>
    <message>
        <source>患者・検査情報のファイルとしては大きすぎます</source>
        <translation>the file is too large to be a report header file</translation>
    </message>
    <message>
        <source>メモリが足りません</source>
        <translation>out of memory</translation>
    </message>
    <message>
        <source>正面のマーカは 0 から %1 までの ID で指定してください</source>
        <translation>give the front markers as IDs from 0 to %1</translation>
    </message>
    <message>
        <source>足のマーカは foot R か L と踵とつま先、骨盤は pelvis と、1 から %1 までの ID (踵とつま先は別の ID) で指定してください</source>
        <translation>give a foot as foot R or L with its heel and toe IDs and the pelvis as pelvis with its ID, each from 1 to %1 (the heel other than the toe)</translation>
    </message>
</context>
<context>
    <name>GaitReport</name>
    <message>
        <source>ストライド時間</source>
        <translation>Stride time</translation>
    </message>
    <message>
        <source>ステップ時間</source>
        <translation>Step time</translation>
    </message>
    <message>
        <source>立脚時間</source>
        <translation>Stance time</translation>
    </message>
    <message>
        <source>遊脚時間</source>
        <translation>Swing time</translation>
    </message>
    <message>
        <source>立脚期</source>
        <translation>Stance</translation>
    </message>
    <message>
        <source>遊脚期</source>
        <translation>Swing</translation>
    </message>
    <message>
        <source>両脚支持期</source>
        <translation>Double support</translation>
    </message>
    <message>
        <source>ストライド長</source>
        <translation>Stride length</translation>
    </message>
    <message>
        <source>ステップ長</source>
        <translation>Step length</translation>
    </message>
    <message>
        <source>ケイデンス</source>
        <translation>Cadence</translation>
    </message>
    <message>
        <source>歩行速度</source>
        <translation>Walking speed</translation>
    </message>
    <message>
        <source>ステップ時間の対称性指数</source>
        <translation>Step time symmetry index</translation>
    </message>
    <message>
        <source>ステップ長の対称性指数</source>
        <translation>Step length symmetry index</translation>
    </message>
    <message>
        <source>右</source>
        <translation>Right</translation>
    </message>
    <message>
        <source>左</source>
        <translation>Left</translation>
    </message>
    <message>
        <source>解析結果がありません</source>
        <translation>There is no analysis to report</translation>
    </message>
    <message>
        <source>PDFを作成できません</source>
        <translation>The PDF cannot be made</translation>
    </message>
    <message>
        <source>%1: イベントが歩行の順序 (踵接地、反対側の離地、反対側の踵接地、離地、踵接地) に沿っていません</source>
        <translation>%1: the events do not follow the walking pattern (heel strike, opposite toe-off, opposite heel strike, toe-off, heel strike)</translation>
    </message>
    <message>
        <source>%1のつま先マーカ</source>
        <translation>toe marker (%1)</translation>
    </message>
    <message>
        <source>%1の踵マーカ</source>
        <translation>heel marker (%1)</translation>
    </message>
    <message>
        <source>%1: %2の欠落 (フレーム %3-%4)</source>
        <translation>%1: gap in the %2, frames %3-%4</translation>
    </message>
    <message>
        <source>右足</source>
        <translation>The right foot</translation>
    </message>
    <message>
        <source>左足</source>
        <translation>The left foot</translation>
    </message>
    <message>
        <source>%1からはストライドが得られません: マーカが再生範囲で続けて %2 フレームしかなく、立脚期を見るには %3 フレーム必要です。</source>
        <translation>%1 gives no stride: its markers have at most %2 frames in a row in the play range, and a stance needs %3 to be seen.</translation>
    </message>
    <message>
        <source>%1からはストライドが得られません: 再生範囲の踵接地が %2 回で、ストライドには離地を挟んだ 2 回が必要です。</source>
        <translation>%1 gives no stride: it has %2 heel strike(s) in the play range, and a stride needs two with a toe-off between them.</translation>
    </message>
    <message>
        <source>除外したストライド: %1</source>
        <translation>Strides left out: %1</translation>
    </message>
    <message>
        <source>ほか %1 件</source>
        <translation>and %1 more</translation>
    </message>
    <message>
        <source>歩/分</source>
        <translation>steps/min</translation>
    </message>
    <message>
        <source>歩行分析レポート</source>
        <translation>Gait analysis report</translation>
    </message>
    <message>
        <source>長さはピクセル単位です: 動画にキャリブレーションがありません。</source>
        <translation>Lengths are in pixels: the video has no calibration.</translation>
    </message>
    <message>
        <source>%1のストライドは %2 件です。%3 件未満ではばらつきを読めません。</source>
        <translation>%1 has %2 stride(s); fewer than %3 give no spread worth reading.</translation>
    </message>
    <message>
        <source>1 ステップが %1 フレームしかなく、半フレームのずれがステップの %2 % になります。</source>
        <translation>A step has only %1 frames: half a frame of event timing is %2 % of a step.</translation>
    </message>
    <message>
        <source>%1の長さがストライドにより %2 % 変わります: カメラに近づくか遠ざかって歩いています。</source>
        <translation>%1 looks %2 % longer in one stride than in another: the walker walks towards or away from the camera.</translation>
    </message>
    <message>
        <source>%1の長さがストライドにより %2 % 変わります: カメラが捉える面から外れています。</source>
        <translation>%1 looks %2 % longer in one stride than in another: the walker leaves the plane the camera sees.</translation>
    </message>
    <message>
        <source>右体幹</source>
        <translation>R trunk</translation>
    </message>
    <message>
        <source>左体幹</source>
        <translation>L trunk</translation>
    </message>
    <message>
        <source>右股関節</source>
        <translation>R hip</translation>
    </message>
    <message>
        <source>左股関節</source>
        <translation>L hip</translation>
    </message>
    <message>
        <source>右膝</source>
        <translation>R knee</translation>
    </message>
    <message>
        <source>左膝</source>
        <translation>L knee</translation>
    </message>
    <message>
        <source>右足関節</source>
        <translation>R ankle</translation>
    </message>
    <message>
        <source>左足関節</source>
        <translation>L ankle</translation>
    </message>
    <message>
        <source>右つま先</source>
        <translation>R toe</translation>
    </message>
    <message>
        <source>左つま先</source>
        <translation>L toe</translation>
    </message>
    <message>
        <source>右踵</source>
        <translation>R heel</translation>
    </message>
    <message>
        <source>左踵</source>
        <translation>L heel</translation>
    </message>
    <message>
        <source>骨盤</source>
        <translation>Pelvis</translation>
    </message>
    <message>
        <source>右踵 %1</source>
        <translation>R heel %1</translation>
    </message>
    <message>
        <source>右つま先 %1</source>
        <translation>R toe %1</translation>
    </message>
    <message>
        <source>左踵 %1</source>
        <translation>L heel %1</translation>
    </message>
    <message>
        <source>左つま先 %1</source>
        <translation>L toe %1</translation>
    </message>
    <message>
        <source>ストライド長 / 脚長</source>
        <translation>Stride length / leg length</translation>
    </message>
    <message>
        <source>ステップ長 / 脚長</source>
        <translation>Step length / leg length</translation>
    </message>
    <message>
        <source>作成日時: %1</source>
        <translation>Made: %1</translation>
    </message>
    <message>
        <source>氏名 / ID</source>
        <translation>Name / ID</translation>
    </message>
    <message>
        <source>生年月日 / 年齢</source>
        <translation>Date of birth / age</translation>
    </message>
    <message>
        <source>検査日</source>
        <translation>Visit date</translation>
    </message>
    <message>
        <source>検査者</source>
        <translation>Examiner</translation>
    </message>
    <message>
        <source>歩行条件</source>
        <translation>Walking condition</translation>
    </message>
    <message>
        <source>脚長</source>
        <translation>Leg length</translation>
    </message>
    <message>
        <source>コメント</source>
        <translation>Comment</translation>
    </message>
    <message>
        <source>骨盤 %1</source>
        <translation>pelvis %1</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>鉛直</source>
        <translation>vertical</translation>
    </message>
    <message>
        <source>動画</source>
        <translation>Video</translation>
    </message>
    <message>
        <source>フレームレート</source>
        <translation>Frame rate</translation>
    </message>
    <message>
        <source>%1 フレーム/秒</source>
        <translation>%1 frames/s</translation>
    </message>
    <message>
        <source>キャリブレーション</source>
        <translation>Calibration</translation>
    </message>
    <message>
        <source>%1 mm/ピクセル</source>
        <translation>%1 mm/pixel</translation>
    </message>
    <message>
        <source>ピクセル: キャリブレーションなし</source>
        <translation>pixels: no calibration</translation>
    </message>
    <message>
        <source>フィルタ</source>
        <translation>Filter</translation>
    </message>
    <message>
        <source>ローパス %1 Hz</source>
        <translation>low-pass %1 Hz</translation>
    </message>
    <message>
        <source>なし</source>
        <translation>none</translation>
    </message>
    <message>
        <source>マーカ ID</source>
        <translation>Marker IDs</translation>
    </message>
    <message>
        <source>角度 (A-B-C)</source>
        <translation>Angles (A-B-C)</translation>
    </message>
    <message>
        <source>イベント</source>
        <translation>Event</translation>
    </message>
    <message>
        <source>%1 件 (%2)、ストライド: 右 %3、左 %4</source>
        <translation>%1 (%2); strides: right %3, left %4</translation>
    </message>
    <message>
        <source>自動検出</source>
        <translation>detected</translation>
    </message>
    <message>
        <source>編集済み</source>
        <translation>edited</translation>
    </message>
    <message>
        <source>記録</source>
        <translation>Recording</translation>
    </message>
    <message>
        <source>注意</source>
        <translation>Notes</translation>
    </message>
    <message>
        <source>無次元速度 v/√(g·L)</source>
        <translation>Dimensionless speed v/√(g·L)</translation>
    </message>
    <message>
        <source>項目</source>
        <translation>Parameter</translation>
    </message>
    <message>
        <source>単位</source>
        <translation>Unit</translation>
    </message>
    <message>
        <source>両側</source>
        <translation>Both</translation>
    </message>
    <message>
        <source>平均 ± 標準偏差。対称性指数は右と左の差の大きさを両者の平均で割った百分率。</source>
        <translation>Mean ± standard deviation. Symmetry index: the size of the difference between right and left as a percentage of their mean.</translation>
    </message>
    <message>
        <source>長さと速度はピクセル単位 (px、px/s) です: キャリブレーションがありません。</source>
        <translation>Lengths and speed are in pixels (px, px/s): there is no calibration.</translation>
    </message>
    <message>
        <source>脚長 L = %1 mm で正規化。無次元速度は Hof (1996) による v/√(g·L)、g = 9.81 m/s²。</source>
        <translation>Normalised to the leg length L = %1 mm. Dimensionless speed after Hof (1996): v/√(g·L), g = 9.81 m/s².</translation>
    </message>
    <message>
        <source>矢状面プロファイルスコア (正常範囲からの RMS 偏差): 全体 %1、右 %2、左 %3</source>
        <translation>Sagittal profile score (RMS deviation from the normal band): overall %1, right %2, left %3</translation>
    </message>
    <message>
        <source>歩行パラメータ</source>
        <translation>Gait parameters</translation>
    </message>
    <message>
        <source>フレーム</source>
        <translation>Frame</translation>
    </message>
    <message>
        <source>時間 [s]</source>
        <translation>Time [s]</translation>
    </message>
    <message>
        <source>側</source>
        <translation>Side</translation>
    </message>
    <message>
        <source>歩行イベント (%1 件)</source>
        <translation>Gait events (%1)</translation>
    </message>
    <message>
        <source>踵接地</source>
        <translation>Heel strike</translation>
    </message>
    <message>
        <source>足尖離地</source>
        <translation>Toe-off</translation>
    </message>
    <message>
        <source>静止画</source>
        <translation>Stills</translation>
    </message>
    <message>
        <source>顔のモザイクは切り出し動画と同じ位置にかけています。</source>
        <translation>Faces are masked with the mosaic of the trimmed movie, in the same place.</translation>
    </message>
    <message>
        <source>股関節</source>
        <translation>Hip</translation>
    </message>
    <message>
        <source>膝関節</source>
        <translation>Knee</translation>
    </message>
    <message>
        <source>足関節</source>
        <translation>Ankle</translation>
    </message>
    <message>
        <source>データなし</source>
        <translation>No data</translation>
    </message>
    <message>
        <source>歩行周期 [%]</source>
        <translation>Gait cycle [%]</translation>
    </message>
    <message>
        <source>角度 [°]</source>
        <translation>Angle [°]</translation>
    </message>
    <message>
        <source>正常範囲からの RMS 偏差: %1°</source>
        <translation>RMS deviation from the band: %1°</translation>
    </message>
    <message>
        <source>足尖離地 %1%</source>
        <translation>Toe-off %1%</translation>
    </message>
    <message>
        <source>各ストライド</source>
        <translation>Strides</translation>
    </message>
    <message>
        <source>平均 (右 / 左)</source>
        <translation>Mean (right / left)</translation>
    </message>
    <message>
        <source>±1 SD</source>
        <translation>±1 SD</translation>
    </message>
    <message>
        <source>正常範囲 (平均 ± SD)</source>
        <translation>Normal band (mean ± SD)</translation>
    </message>
    <message>
        <source>正常範囲のファイル: %1</source>
        <translation>Normal band files: %1</translation>
    </message>
    <message>
        <source>関節角度の周期曲線</source>
        <translation>Joint angles over the gait cycle</translation>
    </message>
    <message>
        <source>右</source>
        <comment>short, in a table</comment>
        <translation>R</translation>
    </message>
    <message>
        <source>左</source>
        <comment>short, in a table</comment>
        <translation>L</translation>
    </message>
    <message>
        <source>%1 踵接地 フレーム %2</source>
        <translation>%1 heel strike, frame %2</translation>
    </message>
    <message>
        <source>%1 足尖離地 フレーム %2</source>
        <translation>%1 toe-off, frame %2</translation>
    </message>
    <message>
        <source>%1 %2</source>
        <comment>chart title: angle, side</comment>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>元の動画のフレームレートが一定ではありません: %1 フレーム中 %2 フレームが前と同じ画像で、%3 枚の画像が %4 フレーム/秒の間に落ちています。そこでは時間と速度が 1 フレームずれることがあります。</source>
        <translation>The source&apos;s frame rate varies: of %1 frames %2 repeat the picture before and %3 picture(s) fall between frames at %4 frames per second; times and speeds may be a frame off there.</translation>
    </message>
    <message>
        <source>体節 %1 の長さがストライドにより %2 % 変わります: カメラに近づくか遠ざかって歩いています。</source>
        <translation>The segment %1 changes its length by %2 % across strides: the walker walks towards or away from the camera.</translation>
    </message>
    <message>
        <source>体節 %1 の長さがストライドにより %2 % 変わります: カメラが捉える面から外れています。</source>
        <translation>The segment %1 changes its length by %2 % across strides: the walker leaves the plane the camera sees.</translation>
    </message>
    <message>
        <source>イベント</source>
        <comment>the recording&apos;s count of them</comment>
        <translation>Events</translation>
    </message>
    <message>
        <source>骨盤傾斜</source>
        <translation>Pelvic obliquity</translation>
    </message>
    <message>
        <source>体幹側屈</source>
        <translation>Trunk lean</translation>
    </message>
    <message>
        <source>膝の前額面角度</source>
        <translation>Knee frontal angle</translation>
    </message>
    <message>
        <source>歩隔</source>
        <translation>Step width</translation>
    </message>
    <message>
        <source>骨盤傾斜の範囲</source>
        <translation>Pelvic obliquity range</translation>
    </message>
    <message>
        <source>膝の外反の最大値</source>
        <translation>Knee valgus peak</translation>
    </message>
    <message>
        <source>体幹側屈の範囲</source>
        <translation>Trunk lean range</translation>
    </message>
    <message>
        <source>正面から見た計測 (前額面)</source>
        <translation>Seen from the front (frontal plane)</translation>
    </message>
    <message>
        <source>側面の動画のストライドを正面の動画に移して計測。平均 ± 標準偏差。骨盤傾斜は右が上で正、膝の前額面角度は外反で正、体幹側屈は右へ傾くと正。</source>
        <translation>Measured over the side video&apos;s strides carried over to the front video. Mean ± SD. Pelvic obliquity is positive with the right side up, the knee frontal angle positive in valgus, trunk lean positive towards the right.</translation>
    </message>
    <message>
        <source>前額面の周期曲線</source>
        <translation>Frontal-plane cycle curves</translation>
    </message>
</context>
<context>
    <name>KinematicsMessages</name>
    <message>
        <source>動画にフレームレートがないため、フィルタをかけられません</source>
        <translation>the video has no frame rate to filter at</translation>
    </message>
    <message>
        <source>フィルタのカットオフ周波数 %1 Hz は低すぎるため、立ち上がりが収まりません。%2 フレーム/秒で使える最も低いカットオフ周波数は %3 Hz です</source>
        <translation>the filter cut-off %1 Hz is too low for its start-up to settle; the lowest usable cut-off at %2 frames per second is %3 Hz</translation>
    </message>
    <message>
        <source>フィルタのカットオフ周波数は 0 より大きく、フレームレートの半分 (%1 Hz) 未満にしてください</source>
        <translation>the filter cut-off must be above 0 and below half the frame rate (%1 Hz)</translation>
    </message>
    <message>
        <source>キャリブレーションファイルとしては大きすぎます</source>
        <translation>the file is too large to be a calibration</translation>
    </message>
    <message>
        <source>%1 行目: %2</source>
        <translation>line %1: %2</translation>
    </message>
    <message>
        <source>キャリブレーションファイルのバージョン %1 はこのプログラムでは読めません</source>
        <translation>calibration file version %1 is not one this program reads</translation>
    </message>
    <message>
        <source>縮尺は正の数でなければなりません</source>
        <translation>the scale must be a positive number</translation>
    </message>
    <message>
        <source>原点は 2 つの数値でなければなりません</source>
        <translation>the origin must be two numbers</translation>
    </message>
    <message>
        <source>基準は 4 つの座標と 1 つの長さでなければなりません</source>
        <translation>the reference must be four coordinates and a length</translation>
    </message>
    <message>
        <source>予期しない内容 &quot;%1&quot;</source>
        <translation>unexpected &quot;%1&quot;</translation>
    </message>
    <message>
        <source>ファイルが空です</source>
        <translation>the file is empty</translation>
    </message>
    <message>
        <source>ファイルに縮尺がありません</source>
        <translation>the file holds no scale</translation>
    </message>
    <message>
        <source>ファイルを読めません</source>
        <translation>the file cannot be read</translation>
    </message>
    <message>
        <source>角度は NAME=A,B,C の形で指定してください</source>
        <translation>an angle is written NAME=A,B,C</translation>
    </message>
    <message>
        <source>角度の名前は、カンマ、&apos;=&apos;、&apos;;&apos;、引用符、制御文字を含まない 1 から 64 バイトにしてください</source>
        <translation>the angle name must be 1 to 64 bytes without commas, &apos;=&apos;, &apos;;&apos;, quotes or control characters</translation>
    </message>
    <message>
        <source>角度にはマーカ ID をちょうど 3 つ指定してください: NAME=A,B,C</source>
        <translation>an angle names exactly three marker IDs: NAME=A,B,C</translation>
    </message>
    <message>
        <source>マーカ ID は 1 から %1 までの整数です</source>
        <translation>marker IDs are whole numbers from 1 to %1</translation>
    </message>
    <message>
        <source>角度の 3 つのマーカ ID は互いに異なる必要があります</source>
        <translation>the three marker IDs of an angle must differ</translation>
    </message>
    <message>
        <source>関節は SIDE:JOINT=A,B,C の形で指定してください</source>
        <translation>a joint is written SIDE:JOINT=A,B,C</translation>
    </message>
    <message>
        <source>左右は R か L で指定してください</source>
        <translation>the side must be R or L</translation>
    </message>
    <message>
        <source>関節は hip、knee、ankle のいずれかにしてください</source>
        <translation>the joint must be hip, knee or ankle</translation>
    </message>
    <message>
        <source>関節にはマーカ ID をちょうど 3 つ指定してください: SIDE:JOINT=A,B,C</source>
        <translation>a joint names exactly three marker IDs: SIDE:JOINT=A,B,C</translation>
    </message>
    <message>
        <source>マーカ ID は 1 から %1 までの整数か、鉛直を表す - です</source>
        <translation>marker IDs are whole numbers from 1 to %1, or - for the vertical</translation>
    </message>
    <message>
        <source>関節の 3 つのマーカ ID は互いに異なる必要があります</source>
        <translation>the three marker IDs of a joint must differ</translation>
    </message>
    <message>
        <source>キャリブレーションに使える縮尺がありません</source>
        <translation>the calibration has no usable scale</translation>
    </message>
    <message>
        <source>キャリブレーションファイルではありません (&quot;%1 %2&quot; で始まる必要があります)</source>
        <translation>not a calibration file (it must start with &quot;%1 %2&quot;)</translation>
    </message>
</context>
<context>
    <name>LanguageMenu</name>
    <message>
        <source>表示言語(&amp;L)</source>
        <translation>&amp;Language</translation>
    </message>
    <message>
        <source>システムの設定に従う(&amp;S)</source>
        <translation>Use the &amp;System Setting</translation>
    </message>
    <message>
        <source>日本語(&amp;J)</source>
        <translation>日本語(&amp;J)</translation>
    </message>
    <message>
        <source>English(&amp;E)</source>
        <translation>&amp;English</translation>
    </message>
    <message>
        <source>表示言語の変更は、次回の起動時から有効になります。</source>
        <translation>The new display language takes effect the next time Kivra starts.</translation>
    </message>
</context>
<context>
    <name>NavigatorPicture</name>
    <message>
        <source>エリア1</source>
        <translation>Area 1</translation>
    </message>
    <message>
        <source>エリア2</source>
        <translation>Area 2</translation>
    </message>
    <message>
        <source>側面モード：横切って歩く映像</source>
        <translation>Side mode: the person walks across the picture</translation>
    </message>
    <message>
        <source>1  最初のフレームで人物の中心をクリック</source>
        <translation>1  On the first frame, click the center of the person</translation>
    </message>
    <message>
        <source>2  最後のフレームで人物の中心をクリック</source>
        <translation>2  On the last frame, click the center of the person</translation>
    </message>
    <message>
        <source>ホイール・↑↓キーで枠の大きさを変えます</source>
        <translation>The mouse wheel or the ↑↓ keys resize the box</translation>
    </message>
    <message>
        <source>正面モード：カメラに向かって歩く映像</source>
        <translation>Front mode: the person walks toward the camera</translation>
    </message>
    <message>
        <source>エリア2の枠は人物に合わせて大きくします</source>
        <translation>Enlarge the area 2 box to fit the person</translation>
    </message>
</context>
<context>
    <name>OwnFiles</name>
    <message>
        <source>開いている動画のマーカファイルに上書きすることは出来ません。
別のファイルを指定してください。</source>
        <translation>The open video&apos;s marker file cannot be overwritten.
Please choose another file.</translation>
    </message>
    <message>
        <source>開いている動画の歩行イベントファイルに上書きすることは出来ません。
別のファイルを指定してください。</source>
        <translation>The open video&apos;s gait events file cannot be overwritten.
Please choose another file.</translation>
    </message>
    <message>
        <source>開いている動画のキャリブレーションファイルに上書きすることは出来ません。
別のファイルを指定してください。</source>
        <translation>The open video&apos;s calibration file cannot be overwritten.
Please choose another file.</translation>
    </message>
    <message>
        <source>開いている動画の患者・検査情報ファイルに上書きすることは出来ません。
別のファイルを指定してください。</source>
        <translation>The open video&apos;s patient and visit file cannot be overwritten.
Please choose another file.</translation>
    </message>
</context>
<context>
    <name>StringTable</name>
    <message>
        <source>動画</source>
        <translation>Movie</translation>
    </message>
    <message>
        <source>トリミング</source>
        <translation>Trimming</translation>
    </message>
    <message>
        <source>スライダー</source>
        <translation>Slider</translation>
    </message>
    <message>
        <source>動画ファイル|*.avi;*.m2ts;*.mts;*.mov;*.mod;*.vod;*.mpg;*.mpeg;*.mp4;*.wmv;*.rm;*.rmvb;*.ram;*.flv;*.mkv|</source>
        <translation>Video files|*.avi;*.m2ts;*.mts;*.mov;*.mod;*.vod;*.mpg;*.mpeg;*.mp4;*.wmv;*.rm;*.rmvb;*.ram;*.flv;*.mkv|</translation>
    </message>
    <message>
        <source>フォーマット変換中</source>
        <translation>Converting the format</translation>
    </message>
    <message>
        <source>このファイルはKivraで認識できないファイルのため、開くことが出来ませんでした。

%1</source>
        <translation>Kivra does not recognize this file, so it could not be opened.

%1</translation>
    </message>
    <message>
        <source>CD-ROMなどの読み取り専用属性フォルダのデータの場合は
HDDにコピーしてから読み込んでください。</source>
        <translation>If the video is in a read-only folder, such as on a CD-ROM,
copy it to the hard disk first and open the copy.</translation>
    </message>
    <message>
        <source>選択したCODECは使用できません。
他のCODECを選択してください。</source>
        <translation>The selected codec cannot be used.
Please choose another codec.</translation>
    </message>
    <message>
        <source>[ エリア指定モード（エリア１）]</source>
        <translation>[ Setting areas (area 1) ]</translation>
    </message>
    <message>
        <source>[ エリア指定モード（エリア２）]</source>
        <translation>[ Setting areas (area 2) ]</translation>
    </message>
    <message>
        <source>[ プレビューモード ]</source>
        <translation>[ Preview ]</translation>
    </message>
    <message>
        <source>現在開いているファイルに上書き保存することは出来ません。
別のファイルを指定してください。</source>
        <translation>The open video cannot be overwritten.
Please choose another file.</translation>
    </message>
    <message>
        <source>保存処理中...</source>
        <translation>Saving...</translation>
    </message>
    <message>
        <source>音声ストリーム分離中</source>
        <translation>Separating the sound</translation>
    </message>
    <message>
        <source>指定したエリアがクリアされます。よろしいですか？</source>
        <translation>The areas you have set will be cleared. Continue?</translation>
    </message>
    <message>
        <source>Kivraで扱える動画はファイルサイズが2GBまでのファイルです。
ファイルサイズが2GBを超える場合は途中までしか読み込みません。</source>
        <translation>Kivra handles video files of up to 2 GB.
Of a larger file, only the first part is read.</translation>
    </message>
    <message>
        <source>Kivraで扱える動画はファイルサイズが2GBまでのファイルです。
フォーマット変換後にファイルサイズが2GBを超える場合は途中までしか読み込みません。</source>
        <translation>Kivra handles video files of up to 2 GB.
If the converted file is larger than 2 GB, only its first part is read.</translation>
    </message>
    <message>
        <source>モザイク領域の形</source>
        <translation>Mosaic Shape</translation>
    </message>
    <message>
        <source>モザイクなし,モザイク タイプ1,モザイク タイプ2,モザイク タイプ3</source>
        <translation>No mosaic,Mosaic type 1,Mosaic type 2,Mosaic type 3</translation>
    </message>
    <message>
        <source>ナビゲーター（側面モード）</source>
        <translation>Navigator (Side Mode)</translation>
    </message>
    <message>
        <source>ナビゲーター（正面モード）</source>
        <translation>Navigator (Front Mode)</translation>
    </message>
    <message>
        <source>推奨するコーデックがインストールされていないため、
コーデックをインストールします。</source>
        <translation>The recommended codec is not installed.
Kivra will install it now.</translation>
    </message>
    <message>
        <source>CSV出力に失敗しました。</source>
        <translation>The CSV file could not be written.</translation>
    </message>
    <message>
        <source>マーカの保存に失敗しました。</source>
        <translation>The markers could not be saved.</translation>
    </message>
    <message>
        <source>マーカのロードに失敗しました。</source>
        <translation>The markers could not be loaded.</translation>
    </message>
    <message>
        <source>表示しているフレームのすべてのマーカを削除します。
よろしいですか？</source>
        <translation>All markers on the frame shown will be deleted.
Continue?</translation>
    </message>
    <message>
        <source>すべてのフレームのすべてのマーカを削除します。
よろしいですか？</source>
        <translation>All markers on all frames will be deleted.
Continue?</translation>
    </message>
    <message>
        <source>マーカの変更内容を保存しますか？</source>
        <translation>Save the changes to the markers?</translation>
    </message>
    <message>
        <source>マーカ</source>
        <translation>Markers</translation>
    </message>
    <message>
        <source>すべてのフレームの指定したIDのマーカを削除します。
よろしいですか？</source>
        <translation>The markers with this ID will be deleted on all frames.
Continue?</translation>
    </message>
    <message>
        <source>ツールバーに「IDの指定」のボタンを表示できます。
今すぐに表示しますか。

※ [表示]-[ツールバー]-[マーカ]メニューから
   ボタンの表示/非表示が行えます。</source>
        <translation>A &quot;Set ID&quot; button can be shown on the toolbar.
Show it now?

Note: the [View]-[Toolbars]-[Markers] menu
   shows or hides the button at any time.</translation>
    </message>
    <message>
        <source>動画の画面サイズが大きすぎます。
幅・高さは8192ピクセル、画素数は8192×4352までです。</source>
        <translation>The video picture is too large.
Width and height may be up to 8192 pixels, and the picture up to 8192×4352 pixels.</translation>
    </message>
    <message>
        <source>ドキュメントを開くことができませんでした。</source>
        <translation>The document could not be opened.</translation>
    </message>
    <message>
        <source>画像の保存に失敗しました。</source>
        <translation>The picture could not be saved.</translation>
    </message>
    <message>
        <source>トリミングした動画を保存
動画保存</source>
        <translation>Save the trimmed movie
Save Movie</translation>
    </message>
    <message>
        <source>動画の%2フレームのうち、読み込めたのは%1フレームだけでした。
ファイルが途中で切れている可能性があります（コピーや録画の中断など）。
読み込めたフレームまでを開きます。</source>
        <translation>Only %1 of the video&apos;s %2 frames could be read.
The file may have been cut short (an interrupted copy or recording).
The frames that could be read are opened.</translation>
    </message>
    <message>
        <source>動画の索引を作成中...</source>
        <translation>Indexing the video...</translation>
    </message>
</context>
<context>
    <name>SyncMessages</name>
    <message>
        <source>動画にフレームレートがありません</source>
        <translation>the video has no frame rate</translation>
    </message>
    <message>
        <source>ファイルを開けません</source>
        <translation>the file cannot be opened</translation>
    </message>
    <message>
        <source>音声がありません</source>
        <translation>the video has no sound</translation>
    </message>
    <message>
        <source>音声をデコードできません</source>
        <translation>the sound cannot be decoded</translation>
    </message>
    <message>
        <source>音声のサンプリングレートが揃っていません</source>
        <translation>the sounds are not at the same sampling rate</translation>
    </message>
    <message>
        <source>音声が無音です</source>
        <translation>the sound is silent</translation>
    </message>
    <message>
        <source>音声が短すぎます</source>
        <translation>the sound is too short</translation>
    </message>
    <message>
        <source>音声の一致がはっきりしません</source>
        <translation>the sounds do not clearly match</translation>
    </message>
    <message>
        <source>両方の動画に同じ足の踵接地が 2 つ以上必要です</source>
        <translation>both videos need at least 2 heel strikes of the same foot</translation>
    </message>
    <message>
        <source>踵接地のずれが揃いません (%1 個中 %2 個のみ一致)</source>
        <translation>the heel strikes do not agree on an offset (only %2 of %1 agree)</translation>
    </message>
    <message>
        <source>%1 に急に明るくなるフレームがありません</source>
        <translation>%1 has no frame that suddenly gets brighter</translation>
    </message>
    <message>
        <source>両方の動画の閃光の時刻が揃いません</source>
        <translation>the flashes of the two videos do not agree on an offset</translation>
    </message>
    <message>
        <source>同期ファイルが壊れています: %1</source>
        <translation>the sync file is damaged: %1</translation>
    </message>
    <message>
        <source>改行を含むファイル名は同期ファイルに書けません</source>
        <translation>a file name with a line break cannot be written into the sync file</translation>
    </message>
    <message>
        <source>同期ファイルを書き込めません</source>
        <translation>the sync file cannot be written</translation>
    </message>
    <message>
        <source>同期ファイルを開けません</source>
        <translation>the sync file cannot be opened</translation>
    </message>
    <message>
        <source>同期ファイルではありません</source>
        <translation>not a sync file</translation>
    </message>
    <message>
        <source>新しい版の同期ファイル (形式 %1) です。この版が読めるのは形式 %2 までです</source>
        <translation>a sync file of a newer version (format %1); this version reads up to format %2</translation>
    </message>
</context>
<context>
    <name>TableLimit</name>
    <message>
        <source>出力する表が大きすぎます (%1 行 × %2 列)。
再生範囲を狭めるか、使っていない ID のマーカを削除してください。</source>
        <translation>The table to write is too large (%1 rows × %2 columns).
Narrow the play range or delete the markers of IDs not in use.</translation>
    </message>
    <message>
        <source>メモリが足りないため、表を作れませんでした。</source>
        <translation>There was not enough memory to make the table.</translation>
    </message>
</context>
<context>
    <name>VideoProbe</name>
    <message>
        <source>動画の情報を調べています</source>
        <translation>Examining the video</translation>
    </message>
</context>
<context>
    <name>kivra::CompareVisitsDlg</name>
    <message>
        <source>前回と比較</source>
        <translation>Compare with Another Visit</translation>
    </message>
    <message>
        <source>前回 (比較前):</source>
        <translation>Before (earlier visit):</translation>
    </message>
    <message>
        <source>前回の日付:</source>
        <translation>Date before:</translation>
    </message>
    <message>
        <source>今回 (比較後):</source>
        <translation>After (this visit):</translation>
    </message>
    <message>
        <source>今回の日付:</source>
        <translation>Date after:</translation>
    </message>
    <message>
        <source>前回と今回を入れ替える(&amp;S)</source>
        <translation>&amp;Swap Before and After</translation>
    </message>
    <message>
        <source>日付は YYYY-MM-DD の形で入力してください: %1</source>
        <translation>Type the date as YYYY-MM-DD: %1</translation>
    </message>
</context>
<context>
    <name>kivra::FootMarkersDlg</name>
    <message>
        <source>足のマーカ</source>
        <translation>Foot Markers</translation>
    </message>
    <message>
        <source>右足(&amp;R)</source>
        <translation>&amp;Right foot</translation>
    </message>
    <message>
        <source>左足(&amp;L)</source>
        <translation>&amp;Left foot</translation>
    </message>
    <message>
        <source>踵のID:</source>
        <translation>Heel ID:</translation>
    </message>
    <message>
        <source>つま先のID:</source>
        <translation>Toe ID:</translation>
    </message>
    <message>
        <source>骨盤(&amp;P):</source>
        <translation>&amp;Pelvis:</translation>
    </message>
    <message>
        <source>ローパスフィルタ(&amp;F):</source>
        <translation>Low-pass &amp;filter:</translation>
    </message>
    <message>
        <source>踵とつま先には別のIDを指定してください。</source>
        <translation>Give the heel and the toe different IDs.</translation>
    </message>
    <message>
        <source>少なくとも片方の足を指定してください。</source>
        <translation>Choose at least one foot.</translation>
    </message>
</context>
<context>
    <name>kivra::FrontalMarkersDlg</name>
    <message>
        <source>正面のマーカ</source>
        <translation>Front Markers</translation>
    </message>
    <message>
        <source>なし</source>
        <translation>none</translation>
    </message>
    <message>
        <source>正面の動画: %1</source>
        <translation>Front video: %1</translation>
    </message>
    <message>
        <source>骨盤と体幹</source>
        <translation>Pelvis and trunk</translation>
    </message>
    <message>
        <source>骨盤 右(&amp;R):</source>
        <translation>Pelvis &amp;right:</translation>
    </message>
    <message>
        <source>骨盤 左(&amp;L):</source>
        <translation>Pelvis &amp;left:</translation>
    </message>
    <message>
        <source>体幹(&amp;T):</source>
        <translation>&amp;Trunk:</translation>
    </message>
    <message>
        <source>右脚</source>
        <translation>Right leg</translation>
    </message>
    <message>
        <source>左脚</source>
        <translation>Left leg</translation>
    </message>
    <message>
        <source>股関節:</source>
        <translation>Hip:</translation>
    </message>
    <message>
        <source>膝:</source>
        <translation>Knee:</translation>
    </message>
    <message>
        <source>足関節:</source>
        <translation>Ankle:</translation>
    </message>
    <message>
        <source>踵:</source>
        <translation>Heel:</translation>
    </message>
</context>
<context>
    <name>kivra::GaitCyclePlot</name>
    <message>
        <source>歩行周期グラフ</source>
        <translation>Gait cycle plot</translation>
    </message>
    <message>
        <source>歩行周期 (%)</source>
        <translation>Gait cycle (%)</translation>
    </message>
    <message>
        <source>角度 (°)</source>
        <translation>Angle (°)</translation>
    </message>
    <message>
        <source>角度:</source>
        <translation>Angle:</translation>
    </message>
    <message>
        <source>角度が定義されていません。角度の設定で関節角度を定義してください。</source>
        <translation>No angles are defined. Define joint angles in the angle settings.</translation>
    </message>
    <message>
        <source>基準範囲</source>
        <translation>Normal band</translation>
    </message>
    <message>
        <source>右</source>
        <translation>Right</translation>
    </message>
    <message>
        <source>左</source>
        <translation>Left</translation>
    </message>
    <message>
        <source> ±SD</source>
        <translation> ±SD</translation>
    </message>
    <message>
        <source> 平均</source>
        <translation> mean</translation>
    </message>
    <message>
        <source>基準範囲 %1</source>
        <translation>Normal band %1</translation>
    </message>
    <message>
        <source>基準範囲からの偏差 (RMS): %1</source>
        <translation>Deviation from the normal band (RMS): %1</translation>
    </message>
</context>
<context>
    <name>kivra::GaitTools</name>
    <message>
        <source>足のマーカ(&amp;E)...</source>
        <translation>Foot Mark&amp;ers...</translation>
    </message>
    <message>
        <source>歩行分析(&amp;W)...</source>
        <translation>Gait &amp;Analysis...</translation>
    </message>
    <message>
        <source>歩行レポート(&amp;P)...</source>
        <translation>Gait Re&amp;port...</translation>
    </message>
    <message>
        <source>足のマーカの設定を保存できませんでした。
</source>
        <translation>The foot markers could not be saved.
</translation>
    </message>
    <message>
        <source>再生範囲の外か、同じイベントがすでにあるため、変更できません。</source>
        <translation>The event cannot be placed there: the frame is outside the play range or already has that event.</translation>
    </message>
    <message>
        <source>次のマーカには再生範囲にデータがありません。</source>
        <translation>These markers have no data in the play range.</translation>
    </message>
    <message>
        <source>右の踵</source>
        <translation>Right heel</translation>
    </message>
    <message>
        <source>右のつま先</source>
        <translation>Right toe</translation>
    </message>
    <message>
        <source>左の踵</source>
        <translation>Left heel</translation>
    </message>
    <message>
        <source>左のつま先</source>
        <translation>Left toe</translation>
    </message>
    <message>
        <source>骨盤</source>
        <translation>Pelvis</translation>
    </message>
    <message>
        <source>歩行イベントファイルが壊れています。
%1
(%2)</source>
        <translation>The gait events file is damaged.
%1
(%2)</translation>
    </message>
    <message>
        <source>歩行イベントを検出できませんでした。
(%1)</source>
        <translation>No gait events could be detected.
(%1)</translation>
    </message>
    <message>
        <source>動画が開かれていません。</source>
        <translation>No movie is open.</translation>
    </message>
    <message>
        <source>マーカがありません。</source>
        <translation>There are no markers.</translation>
    </message>
    <message>
        <source>足のマーカを指定してください。</source>
        <translation>Choose the foot markers.</translation>
    </message>
    <message>
        <source>歩行イベントを保存できませんでした。
</source>
        <translation>The gait events could not be saved.
</translation>
    </message>
    <message>
        <source>歩行イベントを保存しました: %1</source>
        <translation>Gait events saved: %1</translation>
    </message>
    <message>
        <source>歩行イベントファイルが壊れているため使用しません。
</source>
        <translation>The gait events file is damaged and is not used.
</translation>
    </message>
    <message>
        <source>歩行レポートを作成できませんでした。
</source>
        <translation>The gait report could not be written.
</translation>
    </message>
    <message>
        <source>歩行レポートを保存しました: %1</source>
        <translation>Gait report saved: %1</translation>
    </message>
    <message>
        <source>基準範囲</source>
        <translation>Normal band</translation>
    </message>
    <message>
        <source>CSV ファイル (*.csv)</source>
        <translation>CSV file (*.csv)</translation>
    </message>
    <message>
        <source>基準範囲のファイルを読めません。
</source>
        <translation>The normal band file cannot be read.
</translation>
    </message>
    <message>
        <source>編集した歩行イベントを、自動検出したイベントで置き換えますか？</source>
        <translation>Replace the edited gait events with detected ones?</translation>
    </message>
    <message>
        <source>歩行イベントファイルを削除できませんでした。
</source>
        <translation>The gait events file could not be removed.
</translation>
    </message>
    <message>
        <source>歩行イベントファイルを削除しました: %1</source>
        <translation>Gait events file removed: %1</translation>
    </message>
    <message>
        <source>患者・検査情報のファイルが壊れているため使用しません。
</source>
        <translation>The patient and visit file is damaged and is not used.
</translation>
    </message>
    <message>
        <source>患者・検査情報を保存しました: %1</source>
        <translation>Patient and visit saved: %1</translation>
    </message>
    <message>
        <source>患者・検査情報を保存できませんでした。
</source>
        <translation>The patient and visit could not be saved.
</translation>
    </message>
    <message>
        <source>角度が定義されていません。角度の設定で関節角度を定義してください。</source>
        <translation>No angles are defined. Define joint angles in the angle settings.</translation>
    </message>
    <message>
        <source>この基準範囲 (Percent,Mean,SD) を重ねる角度:</source>
        <translation>The angle this normal band (Percent,Mean,SD) belongs to:</translation>
    </message>
    <message>
        <source>前回と比較(&amp;V)...</source>
        <translation>Compare with Another &amp;Visit...</translation>
    </message>
    <message>
        <source>C3D書き出し(&amp;3)...</source>
        <translation>Export C&amp;3D...</translation>
    </message>
    <message>
        <source>TRC書き出し(&amp;X)...</source>
        <translation>E&amp;xport TRC...</translation>
    </message>
    <message>
        <source>比較する動画 (別の検査日)</source>
        <translation>Video to Compare With (Another Visit)</translation>
    </message>
    <message>
        <source>動画ファイル (*.avi *.mp4 *.mov *.mkv *.mts *.m2ts);;すべてのファイル (*)</source>
        <translation>Videos (*.avi *.mp4 *.mov *.mkv *.mts *.m2ts);;All files (*)</translation>
    </message>
    <message>
        <source>比較する動画を開けませんでした。
%1</source>
        <translation>The video to compare with could not be opened.
%1</translation>
    </message>
    <message>
        <source>キャリブレーションファイルが壊れています。
%1
(%2)</source>
        <translation>The calibration file is damaged.
%1
(%2)</translation>
    </message>
    <message>
        <source>比較レポートを作成できませんでした。
%1
(%2)</source>
        <translation>The comparison report could not be made.
%1
(%2)</translation>
    </message>
    <message>
        <source>比較レポートを保存しました: %1</source>
        <translation>Comparison report saved: %1</translation>
    </message>
    <message>
        <source>ファイルに書き込めません。</source>
        <translation>The file cannot be written.</translation>
    </message>
    <message>
        <source>C3D ファイルに書けるのはフレーム 65535 までです。</source>
        <translation>A C3D file holds frames up to 65535 only.</translation>
    </message>
    <message>
        <source>C3D ファイルに書けるマーカは 255 個までです。</source>
        <translation>A C3D file holds at most 255 markers.</translation>
    </message>
    <message>
        <source>C3D ファイルに書けるイベントは 255 個までです。</source>
        <translation>A C3D file holds at most 255 events.</translation>
    </message>
    <message>
        <source>動画のフレームレートがわかりません。</source>
        <translation>The frame rate of the video is unknown.</translation>
    </message>
    <message>
        <source>書き出せませんでした。
%1
(%2)</source>
        <translation>The file could not be exported.
%1
(%2)</translation>
    </message>
    <message>
        <source>書き出しました: %1</source>
        <translation>Exported: %1</translation>
    </message>
    <message>
        <source>正面の動画はありません (この動画の .ksync がありません)</source>
        <translation>No front video (this video has no .ksync)</translation>
    </message>
    <message>
        <source>正面の動画 %1 のマーカファイルがありません</source>
        <translation>The front video %1 has no marker file</translation>
    </message>
    <message>
        <source>正面の動画 %1 のマーカを「正面のマーカ」で指定してください</source>
        <translation>Name the markers of the front video %1 with Front Markers</translation>
    </message>
    <message>
        <source>正面の動画: %1 (ストライド %2)</source>
        <translation>Front video: %1 (%2 strides)</translation>
    </message>
    <message>
        <source>正面の動画を開けませんでした。
</source>
        <translation>The front video could not be opened.
</translation>
    </message>
    <message>
        <source>正面のマーカを保存できませんでした。
</source>
        <translation>The front markers could not be saved.
</translation>
    </message>
    <message>
        <source>足のマーカを保存しました: %1</source>
        <translation>Foot markers saved: %1</translation>
    </message>
    <message>
        <source>足のマーカを歩行イベントファイルに保存できませんでした。
</source>
        <translation>The foot markers could not be saved into the gait events file.
</translation>
    </message>
</context>
<context>
    <name>kivra::GaitWindow</name>
    <message>
        <source>歩行分析</source>
        <translation>Gait Analysis</translation>
    </message>
    <message>
        <source>足のマーカ(&amp;E)...</source>
        <translation>Foot Mark&amp;ers...</translation>
    </message>
    <message>
        <source>再検出(&amp;D)</source>
        <translation>&amp;Detect Again</translation>
    </message>
    <message>
        <source>レポート作成(&amp;P)...</source>
        <translation>Write Re&amp;port...</translation>
    </message>
    <message>
        <source>フレーム</source>
        <translation>Frame</translation>
    </message>
    <message>
        <source>時間 (s)</source>
        <translation>Time (s)</translation>
    </message>
    <message>
        <source>足</source>
        <translation>Foot</translation>
    </message>
    <message>
        <source>イベント</source>
        <translation>Event</translation>
    </message>
    <message>
        <source>右</source>
        <translation>Right</translation>
    </message>
    <message>
        <source>左</source>
        <translation>Left</translation>
    </message>
    <message>
        <source>踵接地 (HS)</source>
        <translation>Heel strike (HS)</translation>
    </message>
    <message>
        <source>つま先離地 (TO)</source>
        <translation>Toe-off (TO)</translation>
    </message>
    <message>
        <source>追加(&amp;A)</source>
        <translation>&amp;Add</translation>
    </message>
    <message>
        <source>選んだ足とイベントを表示フレームに追加します</source>
        <translation>Adds the chosen foot and event at the frame shown</translation>
    </message>
    <message>
        <source>表示フレームへ移動(&amp;M)</source>
        <translation>&amp;Move to Frame Shown</translation>
    </message>
    <message>
        <source>削除(&amp;X)</source>
        <translation>De&amp;lete</translation>
    </message>
    <message>
        <source>項目</source>
        <translation>Parameter</translation>
    </message>
    <message>
        <source>単位</source>
        <translation>Unit</translation>
    </message>
    <message>
        <source>両側</source>
        <translation>Both</translation>
    </message>
    <message>
        <source>パラメータ</source>
        <translation>Parameters</translation>
    </message>
    <message>
        <source>歩行周期グラフ</source>
        <translation>Gait cycle plot</translation>
    </message>
    <message>
        <source>イベント %1 件 (編集済み)</source>
        <translation>%1 events (edited)</translation>
    </message>
    <message>
        <source>イベント %1 件 (自動検出)</source>
        <translation>%1 events (detected)</translation>
    </message>
    <message>
        <source>ストライド: 右 %1、左 %2</source>
        <translation>Strides: right %1, left %2</translation>
    </message>
    <message>
        <source>(長さはピクセル)</source>
        <translation>(lengths in pixels)</translation>
    </message>
    <message>
        <source>基準範囲(&amp;N)</source>
        <translation>&amp;Normal Band</translation>
    </message>
    <message>
        <source>正常歩行の基準範囲 (Angle,Percent,Mean,SD または Percent,Mean,SD の CSV) を、その角度のグラフに重ねます</source>
        <translation>Draws normal walking bands (a CSV of Angle,Percent,Mean,SD or Percent,Mean,SD) behind the curves of their angles</translation>
    </message>
    <message>
        <source>基準範囲を追加(&amp;A)...</source>
        <translation>&amp;Add Normal Band...</translation>
    </message>
    <message>
        <source>基準範囲をすべて外す(&amp;C)</source>
        <translation>&amp;Clear All Normal Bands</translation>
    </message>
    <message>
        <source>患者・検査情報(&amp;I)...</source>
        <translation>Patient and &amp;Visit...</translation>
    </message>
    <message>
        <source>基準範囲からの偏差 (RMS) %1</source>
        <translation>Deviation from the normal band (RMS) %1</translation>
    </message>
    <message>
        <source>矢状面プロファイルスコア</source>
        <translation>Sagittal profile score</translation>
    </message>
    <message>
        <source>基準範囲のある角度の偏差の二乗平均平方根 (9 変数の GPS ではありません)</source>
        <translation>The root mean square of the deviations of the angles that have a band (not the nine-variable gait profile score)</translation>
    </message>
    <message>
        <source>正面のマーカ(&amp;F)...</source>
        <translation>&amp;Front Markers...</translation>
    </message>
    <message>
        <source>前額面</source>
        <translation>Frontal plane</translation>
    </message>
    <message>
        <source>正面の動画はありません</source>
        <translation>No front video</translation>
    </message>
</context>
<context>
    <name>kivra::PaneSync</name>
    <message>
        <source>手動</source>
        <translation>By hand</translation>
    </message>
    <message>
        <source>音</source>
        <translation>Sound</translation>
    </message>
    <message>
        <source>閃光</source>
        <translation>Flash</translation>
    </message>
    <message>
        <source>踵接地</source>
        <translation>Heel strikes</translation>
    </message>
    <message>
        <source>2画面表示(&amp;2)</source>
        <translation>T&amp;wo Videos Side by Side</translation>
    </message>
    <message>
        <source>2画面を連動(&amp;K)</source>
        <translation>Lin&amp;k the Two Videos</translation>
    </message>
    <message>
        <source>同期(&amp;Y)</source>
        <translation>S&amp;ynchronise</translation>
    </message>
    <message>
        <source>この2コマを同じ瞬間にする(&amp;S)</source>
        <translation>These Two Frames Are the &amp;Same Moment</translation>
    </message>
    <message>
        <source>音で合わせる(&amp;A)</source>
        <translation>By the So&amp;und</translation>
    </message>
    <message>
        <source>閃光で合わせる(&amp;F)</source>
        <translation>By a &amp;Flash</translation>
    </message>
    <message>
        <source>踵接地で合わせる(&amp;E)</source>
        <translation>By the H&amp;eel Strikes</translation>
    </message>
    <message>
        <source>同期ファイルを読めません: %1
%2</source>
        <translation>The synchronisation file cannot be read: %1
%2</translation>
    </message>
    <message>
        <source>同期ファイルがあります。もう一方の動画も開きますか?
%1</source>
        <translation>There is a synchronisation file. Open the other video too?
%1</translation>
    </message>
    <message>
        <source>動画にフレームレートがありません</source>
        <translation>the video has no frame rate</translation>
    </message>
    <message>
        <source>音を読んでいます</source>
        <translation>Reading the sound</translation>
    </message>
    <message>
        <source>閃光を探しています</source>
        <translation>Looking for a flash</translation>
    </message>
    <message>
        <source>踵接地で合わせるには、先に足のマーカを指定してください。</source>
        <translation>To synchronise by the heel strikes, set the foot markers first.</translation>
    </message>
    <message>
        <source>歩行を解析できません</source>
        <translation>the walk cannot be analysed</translation>
    </message>
    <message>
        <source>ずれを求められません (%1): %2</source>
        <translation>No offset found (%1): %2</translation>
    </message>
    <message>
        <source>ずれ: %1 秒 (A %2 コマ / B %3 コマ)
方法: %4  確かさ: %5</source>
        <translation>Offset: %1 s (A %2 frames / B %3 frames)
Method: %4  Confidence: %5</translation>
    </message>
    <message>
        <source>ファイルに書き込めません</source>
        <translation>the file cannot be written</translation>
    </message>
    <message>
        <source>同期ファイルを保存できませんでした: %1
%2</source>
        <translation>The synchronisation file could not be saved: %1
%2</translation>
    </message>
    <message>
        <source>同期ファイルを保存しました: %1</source>
        <translation>Synchronisation file saved: %1</translation>
    </message>
</context>
<context>
    <name>kivra::ReportHeaderDlg</name>
    <message>
        <source>患者・検査情報</source>
        <translation>Patient and Visit</translation>
    </message>
    <message>
        <source>例: 1950-04-01 または 74歳</source>
        <translation>e.g. 1950-04-01 or 74 years</translation>
    </message>
    <message>
        <source>裸足</source>
        <translation>Barefoot</translation>
    </message>
    <message>
        <source>靴</source>
        <translation>Shoes</translation>
    </message>
    <message>
        <source>装具</source>
        <translation>Orthosis</translation>
    </message>
    <message>
        <source>歩行補助具</source>
        <translation>Walking aid</translation>
    </message>
    <message>
        <source>空欄: 記載しない</source>
        <translation>Empty: not given</translation>
    </message>
    <message>
        <source>氏名またはID(&amp;N):</source>
        <translation>&amp;Name or ID:</translation>
    </message>
    <message>
        <source>生年月日または年齢(&amp;B):</source>
        <translation>Date of &amp;birth or age:</translation>
    </message>
    <message>
        <source>検査日(&amp;D):</source>
        <translation>Visit &amp;date:</translation>
    </message>
    <message>
        <source>検査者(&amp;E):</source>
        <translation>&amp;Examiner:</translation>
    </message>
    <message>
        <source>歩行条件(&amp;W):</source>
        <translation>&amp;Walking condition:</translation>
    </message>
    <message>
        <source>コメント(&amp;C):</source>
        <translation>&amp;Comment:</translation>
    </message>
    <message>
        <source>脚長 (mm)(&amp;L):</source>
        <translation>&amp;Leg length (mm):</translation>
    </message>
    <message>
        <source>脚長は 0 より大きく %1 mm 未満の数値で入力してください。</source>
        <translation>Please enter the leg length as a number above 0 and below %1 mm.</translation>
    </message>
    <message>
        <source>入力が長すぎます。コメントを短くしてください。</source>
        <translation>The entries are too long. Please shorten the comment.</translation>
    </message>
</context>
</TS>
