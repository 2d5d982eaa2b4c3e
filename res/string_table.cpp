// The string table. One place for every text, so no message is ever typed twice.
#include "res/string_table.h"

#include <algorithm>
#include <array>
#include <iterator>

#include "platform/shown_text.h"

namespace {

struct StringEntry {
    UINT nId;
    const char* pszText;
};

// Sorted by id. The spacing inside the board's guide texts (ASCII spaces, U+3000, U+30FB) is part
// of them. Entry 1004 belongs to no check the program makes and is never shown.
constexpr StringEntry kStringTable[] = {
    {101, "Aerolyreのﾊﾞｰｼﾞｮﾝ情報(&A)..."},
    {102, "サウンドデバイスの設定(&D)..."},
    {103, "音程ガイドと音程補正の設定(&T)..."},
    {104, "MIDI出力(&M)"},
    {105, "オフ"},
    {106, "MPE (チャンネル2～16、ベンド±48)"},
    {107, "1チャンネル (ベンド±12)"},
    {108, "速度制限なし (仮想ポート用)"},
    {109, "MIDI入力 (ポート aerolyre)(&I)"},
    {110, "ペンタブレット(&P)"},
    {111, "オフ (マウスとして扱う)"},
    {112, "筆圧で音量: 軽いタッチ向け"},
    {113, "筆圧で音量: 標準"},
    {114, "筆圧で音量: 強いタッチ向け"},
    {115, "言語 (Language)(&L)"},
    {116, "日本語"},
    {117, "English"},
    {118, "言語の変更は次回の起動から有効になります。"},
    {200, "Software\\Velmora\\Aerolyre\\AppInfo"},
    {201, "Process_BufSize"},
    {202, "Process_Overcycle"},
    {203, "MainDlgT"},
    {204, "MainDlgL"},
    {205, "MainDlgB"},
    {206, "MainDlgR"},
    {207, "EnsouDlgT"},
    {208, "EnsouDlgL"},
    {209, "EnsouDlgB"},
    {210, "EnsouDlgR"},
    {211, "Process_CacheSize"},
    {212, "Nerio_Path"},
    {214, "Fir_Path"},
    {230, "WaveDevice"},
    {231, "Tuning_Guides"},
    {232, "Tuning_Quantise"},
    {233, "Tuning_Scale"},
    {234, "Tuning_Kbm"},
    {235, "Tuning_Reference"},
    {236, "Midi_Out"},
    {237, "Midi_Unlimited"},
    {238, "Tuning_Strength"},
    {239, "Midi_In"},
    {240, "Tablet_Mode"},
    {241, "Language"},
    {1000, "バッファのサイズは１～10000にして下さい"},
    {1001, "音域は１～７オクターブにして下さい"},
    {1002, "モジュレータの周波数は1～9倍にして下さい"},
    {1003, "モジュレータの強さは0～1000にして下さい"},
    {1004, ""},
    {1005, "左クリック時のピッチシフトは-12～12にして下さい"},
    {1006, "右クリック時のピッチシフトは-12～12にして下さい"},
    {1007, "wave出力の準備に失敗しました"},
    {1008, "歪みの強さは0～1000にして下さい"},
    {1009, "フィードバックの強さは0～1000にして下さい"},
    {1010, "伴奏ファイル(.WAV)を指定して下さい"},
    {1011, "キャッシュのサイズは64～16384にして下さい"},
    {1012, "音量は1～2000にして下さい"},
    {2000, "[ESC]  ・・・　演奏盤を閉じる"},
    {2001, "[マウスを左に移動]　・・・　音程を下げる"},
    {2002, "[マウスを右に移動]　・・・　音程を上げる"},
    {2003, "[マウスを下に移動]  ・・・　音量を小さくする"},
    {2004, "[マウスを上に移動]  ・・・　音量を大きくする"},
    {2005, "音域調整は-24～12にして下さい"},
    {2100, "設定ファイルの書込みに失敗しました"},
    {2101, "設定ファイルの読み込みに失敗しました。"},
    {2200, "ファイルを開けませんでした"},
    {2201, "ファイルは読み取り可能な形式ではありません"},
    {2202, "出力対象ファイルを開けませんでした"},
    {2203,
     "入力ファイルは、サンプリング周波数44.1KHz、解像度が16ビット整数値もしくは32ビット浮動小数点値の"
     "PCM波形で、モノラル1秒（44100サンプル）以内でなくてはなりません。"},
    {2300, "基準周波数は１～20000Hzにして下さい"},
    {2301, "音階ファイルを読み込めませんでした"},
    {2302, "補正の強さは0～100%にして下さい"},
    {3000, "メモリ不足です"},
    {61712, "整数を入力してください。"},
    {61714, "%1 から %2 までの整数を入力してください。"},
};

static_assert(std::is_sorted(std::begin(kStringTable), std::end(kStringTable),
                             [](const StringEntry& a, const StringEntry& b) { return a.nId < b.nId; }),
              "the string table is searched by id and must stay sorted");

// Registry key and value names are the settings' own names, never shown and never translated.
bool IsRegistryName(UINT nId) { return nId >= 200 && nId <= 299; }

}  // namespace

const char* LoadResStringAsWritten(UINT nId) {
    const auto* it = std::lower_bound(std::begin(kStringTable), std::end(kStringTable), nId,
                                      [](const StringEntry& e, UINT id) { return e.nId < id; });
    return it == std::end(kStringTable) || it->nId != nId ? nullptr : it->pszText;
}

const char* LoadResString(UINT nId) {
    const char* psz = LoadResStringAsWritten(nId);
    return psz != nullptr && !IsRegistryName(nId) ? ShownText(psz) : psz;
}

std::vector<const char*> ShownTableTexts() {
    std::vector<const char*> texts;
    for (const StringEntry& e : kStringTable) {
        if (!IsRegistryName(e.nId) && e.pszText[0] != '\0') texts.push_back(e.pszText);
    }
    return texts;
}

std::string ResString(UINT nId) {
    const char* psz = LoadResString(nId);
    return psz != nullptr ? std::string(psz) : std::string();
}
