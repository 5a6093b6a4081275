#include "platform/string_table.h"

#include <unordered_map>

#include "platform/translation.h"

namespace kivra {

namespace {

// The texts as written; the translation tools read them from here under the context
// "StringTable".
const std::unordered_map<int, std::string>& Table() {
    // Built on first use, so it is ready for callers in any static initialisation order.
    static const std::unordered_map<int, std::string> kTable = {
        {2006, "WWWWWWWWWWWWWW"},  // a sample to measure, never shown
        {2007, QT_TRANSLATE_NOOP("StringTable", "動画")},
        {2008, QT_TRANSLATE_NOOP("StringTable", "トリミング")},
        {2009, QT_TRANSLATE_NOOP("StringTable", "スライダー")},
        {2010, QT_TRANSLATE_NOOP("StringTable",
                                 "動画ファイル|*.avi;*.m2ts;*.mts;*.mov;*.mod;*.vod;*.mpg;*.mpeg;*."
                                 "mp4;*.wmv;*.rm;*.rmvb;*.ram;*.flv;*.mkv|")},
        {2011, QT_TRANSLATE_NOOP("StringTable", "フォーマット変換中")},
        {2012, QT_TRANSLATE_NOOP("StringTable",
                                 "このファイルはKivraで認識できないファイルのため、開くことが出来ま"
                                 "せんでした。\n\n%1")},
        {2013, QT_TRANSLATE_NOOP("StringTable",
                                 "CD-"
                                 "ROMなどの読み取り専用属性フォルダのデータの場合は\nHDDにコピーし"
                                 "てから読み込んでください。")},
        {2014, QT_TRANSLATE_NOOP("StringTable",
                                 "選択したCODECは使用できません。\n他のCODECを選択してください。")},
        {2015, QT_TRANSLATE_NOOP("StringTable", "[ エリア指定モード（エリア１）]")},
        {2016, QT_TRANSLATE_NOOP("StringTable", "[ エリア指定モード（エリア２）]")},
        {2017, QT_TRANSLATE_NOOP("StringTable", "[ プレビューモード ]")},
        {2018, QT_TRANSLATE_NOOP("StringTable",
                                 "現在開いているファイルに上書き保存することは出来ません。\n別のフ"
                                 "ァイルを指定してください。")},
        {2019, QT_TRANSLATE_NOOP("StringTable", "保存処理中...")},
        {2020, QT_TRANSLATE_NOOP("StringTable", "音声ストリーム分離中")},
        {2022,
         QT_TRANSLATE_NOOP("StringTable", "指定したエリアがクリアされます。よろしいですか？")},
        {2023, QT_TRANSLATE_NOOP("StringTable",
                                 "Kivraで扱える動画はファイルサイズが2GBまでのファイルです。\nファ"
                                 "イルサイズが2GBを超える場合は途中までしか読み込みません。")},
        {2024, QT_TRANSLATE_NOOP(
                   "StringTable",
                   "Kivraで扱える動画はファイルサイズが2GBまでのファイルです。\nフォーマット変換後"
                   "にファイルサイズが2GBを超える場合は途中までしか読み込みません。")},
        {2025, QT_TRANSLATE_NOOP("StringTable", "モザイク領域の形")},
        {2026,
         QT_TRANSLATE_NOOP("StringTable",
                           "モザイクなし,モザイク タイプ1,モザイク タイプ2,モザイク タイプ3")},
        {2033, QT_TRANSLATE_NOOP("StringTable", "ナビゲーター（側面モード）")},
        {2034, QT_TRANSLATE_NOOP("StringTable", "ナビゲーター（正面モード）")},
        {2035, QT_TRANSLATE_NOOP("StringTable",
                                 "推奨するコーデックがインストールされていないため、\nコーデックを"
                                 "インストールします。")},
        {2036, QT_TRANSLATE_NOOP("StringTable", "CSV出力に失敗しました。")},
        {2037, QT_TRANSLATE_NOOP("StringTable", "マーカの保存に失敗しました。")},
        {2038, QT_TRANSLATE_NOOP("StringTable", "マーカのロードに失敗しました。")},
        {2039,
         QT_TRANSLATE_NOOP("StringTable",
                           "表示しているフレームのすべてのマーカを削除します。\nよろしいですか？")},
        {2040,
         QT_TRANSLATE_NOOP("StringTable",
                           "すべてのフレームのすべてのマーカを削除します。\nよろしいですか？")},
        {2041, QT_TRANSLATE_NOOP("StringTable", "マーカの変更内容を保存しますか？")},
        {2042, QT_TRANSLATE_NOOP("StringTable", "マーカ")},
        {2043,
         QT_TRANSLATE_NOOP("StringTable",
                           "すべてのフレームの指定したIDのマーカを削除します。\nよろしいですか？")},
        {2044, QT_TRANSLATE_NOOP(
                   "StringTable",
                   "ツールバーに「IDの指定」のボタンを表示できます。\n今すぐに表示しますか。\n\n※ "
                   "[表示]-[ツールバー]-[マーカ]メニューから\n   ボタンの表示/非表示が行えます。")},
        {3012, QT_TRANSLATE_NOOP("StringTable",
                                 "動画の画面サイズが大きすぎます。\n幅・高さは8192ピクセル、画素数"
                                 "は8192×4352までです。")},
        {3013, QT_TRANSLATE_NOOP("StringTable", "ドキュメントを開くことができませんでした。")},
        {3014, QT_TRANSLATE_NOOP("StringTable", "画像の保存に失敗しました。")},
        {3019, QT_TRANSLATE_NOOP("StringTable",
                                 "動画の%2フレームのうち、読み込めたのは%1フレームだけでした。\n"
                                 "ファイルが途中で切れている可能性があります（コピーや録画の中断"
                                 "など）。\n読み込めたフレームまでを開きます。")},
        {3020, QT_TRANSLATE_NOOP("StringTable", "動画の索引を作成中...")},
        {32796, QT_TRANSLATE_NOOP("StringTable", "トリミングした動画を保存\n動画保存")},
    };
    return kTable;
}

}  // namespace

const std::string& SourceString(int id) {
    static const std::string kEmpty;
    const auto it = Table().find(id);
    return it == Table().end() ? kEmpty : it->second;
}

std::string LoadString(int id) {
    const std::string& source = SourceString(id);
    return source.empty() ? source : translate("StringTable", source.c_str());
}

}  // namespace kivra
