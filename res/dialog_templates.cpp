// The dialog templates as data: sizes and rectangles in dialog units, texts as shown, controls in
// tab order.
#include "res/dialog_templates.h"

#include <stdexcept>
#include <string>

namespace {

using K = ControlKind;

constexpr const char* kFont = "ＭＳ Ｐゴシック";
constexpr unsigned kEdit = CS_BORDER | CS_AUTOHSCROLL | CS_TABSTOP;
constexpr unsigned kReadOnlyEdit = kEdit | CS_READONLY;
constexpr unsigned kButton = CS_TABSTOP;

// The templates are laid out as a resource script lays them out: one control a line.
// clang-format off
const DialogTemplate kAbout = {
    IDD_ABOUTBOX, "Aerolyreのﾊﾞｰｼﾞｮﾝ情報", 235, 55, kFont, 9, DS_SYSMENU | DS_MODALFRAME,
    {
        {IDC_STATIC, K::Icon, "", 11, 17, 20, 20, CS_NONE},
        {IDC_STATIC, K::Static, "Aerolyre Version 1.1", 40, 10, 119, 8, CS_NOPREFIX},
        {IDOK, K::PushButton, "OK", 178, 7, 50, 14, kButton | CS_DEFPUSHBUTTON | CS_GROUP},
        // Where the settings are: the background menu, also on F10.
        {IDC_STATIC, K::Static, "設定メニュー: F10 キー、または背景を右クリック", 40, 30, 188, 8, CS_NOPREFIX},
    }};

const DialogTemplate kMain = {
    IDD_AEROLYRE_DIALOG, "Aerolyre", 331, 307, kFont, 9,
    DS_SYSMENU | DS_MODALFRAME | DS_3DLOOK | DS_APPWINDOW,
    {
        {IDC_STATIC, K::GroupBox, "音色", 7, 10, 316, 162, CS_NONE},
        {IDC_STATIC, K::Static, "モジュレータの周波数:", 19, 26, 0, 8, CS_NONE},
        {1006, K::Edit, "", 93, 24, 30, 13, kEdit},
        {IDC_STATIC, K::Static, "倍（1～9)", 129, 26, 0, 8, CS_NONE},
        {IDC_STATIC, K::Static, "モジュレータの強さ:", 19, 42, 0, 8, CS_NONE},
        {1007, K::Edit, "", 93, 42, 30, 13, kEdit},
        {IDC_STATIC, K::Static, "（0～1000)", 127, 42, 0, 8, CS_NONE},
        {IDC_STATIC, K::Static, "フィードバックの強さ:", 19, 61, 0, 8, CS_NONE},
        {1010, K::Edit, "", 93, 58, 30, 13, kEdit},
        {IDC_STATIC, K::Static, "（0～1000)", 127, 61, 0, 8, CS_NONE},
        {IDC_STATIC, K::Static, "歪みの強さ:", 19, 77, 0, 8, CS_NONE},
        {1011, K::Edit, "", 93, 74, 30, 13, kEdit},
        {IDC_STATIC, K::Static, "（0～1000)", 127, 80, 0, 8, CS_NONE},
        {1003, K::CheckBox, "ディチューン", 17, 94, 70, 13, kButton},
        {1021, K::CheckBox, "FIRフィルタ使用", 17, 112, 61, 15, kButton},
        {1022, K::PushButton, "フィルタの設定...", 82, 111, 58, 16, kButton | CS_DISABLED},
        {IDC_STATIC, K::Static, "音域:", 184, 28, 0, 8, CS_NONE},
        {1004, K::Edit, "", 218, 24, 32, 13, kEdit},
        {IDC_STATIC, K::Static, "オクターブ(1～7)", 255, 27, 0, 8, CS_NONE},
        {IDC_STATIC, K::Static, "音域調整:", 184, 48, 0, 8, CS_NONE},
        {1019, K::Edit, "", 218, 46, 32, 13, kEdit},
        {IDC_STATIC, K::Static, "半音（-24～12)", 255, 49, 0, 8, CS_NONE},
        {IDC_STATIC, K::Static, "左クリック時のピッチシフト:", 184, 68, 0, 8, CS_NONE},
        {1012, K::Edit, "", 184, 80, 33, 13, kEdit},
        {IDC_STATIC, K::Static, "半音（-12～12)", 221, 82, 0, 8, CS_NONE},
        {IDC_STATIC, K::Static, "右クリック時のピッチシフト:", 184, 104, 0, 8, CS_NONE},
        {1013, K::Edit, "", 184, 115, 33, 13, kEdit},
        {IDC_STATIC, K::Static, "半音（-12～12)", 221, 116, 0, 8, CS_NONE},
        {1014, K::PushButton, "音色の読み込み...", 194, 145, 59, 16, kButton},
        {1015, K::PushButton, "音色の書き出し...", 257, 145, 59, 16, kButton},
        {IDC_STATIC, K::GroupBox, "処理の設定", 7, 182, 158, 88, CS_NONE},
        {IDC_STATIC, K::Static, "バッファ:", 18, 197, 0, 8, CS_NONE},
        {1002, K::Edit, "", 52, 195, 42, 13, kEdit},
        {IDC_STATIC, K::Static, "(1～10000)", 97, 197, 0, 8, CS_NONE},
        {IDC_STATIC, K::Static, "オーバーサイクル数:", 18, 221, 0, 8, CS_NONE},
        {1009, K::ListBox, "", 87, 220, 38, 15, CS_BORDER | CS_VSCROLL | CS_TABSTOP},
        {IDC_STATIC, K::Static, "キャッシュ:", 18, 244, 0, 8, CS_NONE},
        {1035, K::Edit, "", 56, 243, 40, 13, kEdit},
        {IDC_STATIC, K::Static, "KBytes(64～16384)", 99, 246, 0, 8, CS_NONE},
        {1016, K::CheckBox, "ファイルへのダイレクト録音", 183, 202, 92, 13, kButton},
        {1020, K::PushButton, "設定...", 280, 201, 35, 16, kButton | CS_DISABLED},
        {1017, K::CheckBox, "伴奏付き", 183, 228, 39, 11, kButton},
        {1029, K::PushButton, "設定...", 226, 226, 35, 16, kButton | CS_DISABLED},
        {1000, K::PushButton, "演奏", 7, 278, 316, 24, kButton},
    }};

const DialogTemplate kBoard = {
    IDD_BOARD, "演奏盤", 310, 193, kFont, 9,
    DS_SYSMENU | DS_SIZINGBORDER | DS_MAXIMIZEBOX | DS_CLIENTEDGE, {}};

const DialogTemplate kFir = {
    IDD_FIR, "FIRフィルタの設定", 227, 297, kFont, 9, DS_SYSMENU | DS_MODALFRAME,
    {
        {IDC_STATIC, K::GroupBox, "フィルタ1", 7, 7, 213, 135, CS_NONE},
        {1039, K::PushButton, "波形読込み...", 13, 22, 58, 17, kButton},
        {1018, K::PushButton, "リセット", 73, 21, 33, 19, kButton},
        {IDC_STATIC, K::Static, "波形ファイル名:", 14, 53, 47, 14, CS_NONE},
        {1026, K::Edit, "", 64, 49, 145, 17, kReadOnlyEdit},
        {IDC_STATIC, K::Static, "入力音量:", 32, 76, 31, 14, CS_NONE},
        {1033, K::Edit, "", 64, 73, 30, 15, kEdit},
        {IDC_STATIC, K::Static, "(1-2000)", 98, 77, 34, 12, CS_NONE},
        {IDC_STATIC, K::Static, "ディレイ長:", 29, 99, 33, 13, CS_NONE},
        {1035, K::Edit, "", 64, 96, 41, 15, kEdit},
        {IDC_STATIC, K::Static, "Samples(1-44100)", 110, 101, 60, 12, CS_NONE},
        {IDC_STATIC, K::Static, "フィードバック:", 20, 122, 42, 13, CS_NONE},
        {1037, K::Edit, "", 64, 118, 30, 15, kEdit},
        {IDC_STATIC, K::Static, "(0-1000)", 98, 122, 34, 12, CS_NONE},
        {IDC_STATIC, K::GroupBox, "フィルタ2", 7, 147, 213, 89, CS_NONE},
        {1001, K::PushButton, "波形読込み...", 13, 163, 58, 17, kButton},
        {1019, K::PushButton, "リセット", 73, 162, 33, 19, kButton},
        {IDC_STATIC, K::Static, "波形ファイル名:", 14, 193, 47, 14, CS_NONE},
        {1027, K::Edit, "", 64, 189, 145, 17, kReadOnlyEdit},
        {IDC_STATIC, K::Static, "音量:", 45, 216, 18, 14, CS_NONE},
        {1034, K::Edit, "", 64, 212, 30, 15, kEdit},
        {IDC_STATIC, K::Static, "(1-2000)", 98, 216, 34, 12, CS_NONE},
        {IDC_STATIC, K::Static, "総フィルタ長:", 7, 248, 41, 11, CS_NONE},
        {1025, K::Edit, "", 50, 245, 44, 17, kReadOnlyEdit},
        {IDC_STATIC, K::Static, "Samples", 98, 249, 33, 11, CS_NONE},
        {IDOK, K::PushButton, "OK", 116, 276, 50, 14, kButton | CS_DEFPUSHBUTTON},
        {IDCANCEL, K::PushButton, "ｷｬﾝｾﾙ", 170, 276, 50, 14, kButton},
    }};

const DialogTemplate kAccomp = {
    IDD_ACCOMP, "伴奏の設定", 253, 195, kFont, 9, DS_SYSMENU | DS_MODALFRAME,
    {
        {IDC_STATIC, K::GroupBox, "伴奏ファイル", 7, 7, 239, 76, CS_NONE},
        {1036, K::PushButton, "ファイル指定...", 14, 20, 55, 17, kButton},
        {IDC_STATIC, K::Static, "ファイル名:", 15, 43, 36, 10, CS_NONE},
        {1037, K::Edit, "", 14, 54, 223, 17, kReadOnlyEdit},
        {IDC_STATIC, K::Static, "演奏音との音量比:", 7, 94, 65, 9, CS_NONE},
        {1030, K::Trackbar, "", 7, 106, 187, 17, CS_NOTICKS | CS_BORDER | CS_TABSTOP},
        {1031, K::Edit, "", 203, 106, 34, 17, kReadOnlyEdit},
        {IDC_STATIC, K::Static, "(演奏が大きい)", 7, 128, 53, 13, CS_NONE},
        {IDC_STATIC, K::Static, "(伴奏が大きい)", 151, 126, 52, 13, CS_NONE},
        {1038, K::CheckBox, "繰り返し再生する", 7, 148, 71, 14, kButton},
        {IDOK, K::PushButton, "OK", 143, 174, 50, 14, kButton | CS_DEFPUSHBUTTON},
        {IDCANCEL, K::PushButton, "ｷｬﾝｾﾙ", 196, 174, 50, 14, kButton},
    }};

const DialogTemplate kRecord = {
    IDD_RECORD, "ファイルへのダイレクト録音の設定", 195, 115, kFont, 9, DS_SYSMENU | DS_MODALFRAME,
    {
        {IDC_STATIC, K::GroupBox, "出力フォーマット", 7, 7, 181, 52, CS_NONE},
        {1034, K::RadioButton, "16ビット整数値", 17, 20, 57, 14, kButton | CS_GROUP},
        {1035, K::RadioButton, "32ビット浮動少数点値（-32768.0～32767.0で正規化)", 17, 37, 165, 14, CS_NONE},
        {1032, K::CheckBox, "伴奏も録音する", 7, 69, 66, 12, kButton | CS_GROUP},
        {IDOK, K::PushButton, "OK", 84, 94, 50, 14, kButton | CS_DEFPUSHBUTTON | CS_GROUP},
        {IDCANCEL, K::PushButton, "ｷｬﾝｾﾙ", 138, 94, 50, 14, kButton},
    }};

const DialogTemplate kDevice = {
    IDD_DEVICE, "サウンドデバイスの設定", 200, 128, kFont, 9, DS_SYSMENU | DS_MODALFRAME,
    {
        {IDC_STATIC, K::Static, "出力デバイス:", 7, 7, 0, 8, CS_NONE},
        {1041, K::ListBox, "", 7, 18, 186, 82, CS_BORDER | CS_VSCROLL | CS_TABSTOP},
        {IDOK, K::PushButton, "OK", 89, 107, 50, 14, kButton | CS_DEFPUSHBUTTON},
        {IDCANCEL, K::PushButton, "ｷｬﾝｾﾙ", 143, 107, 50, 14, kButton},
    }};

const DialogTemplate kTuning = {
    IDD_TUNING, "音程ガイドと音程補正の設定", 240, 196, kFont, 9, DS_SYSMENU | DS_MODALFRAME,
    {
        {1051, K::CheckBox, "演奏盤に音程ガイドを表示する (G)", 7, 7, 160, 12, kButton},
        {1052, K::CheckBox, "止めた音を最も近い音に寄せる (Q)", 7, 22, 160, 12, kButton},
        {IDC_STATIC, K::Static, "強さ %:", 170, 24, 0, 8, CS_NONE},
        {1061, K::Edit, "", 200, 21, 33, 14, kEdit},
        {IDC_STATIC, K::GroupBox, "音階", 7, 40, 226, 124, CS_NONE},
        {1053, K::RadioButton, "12平均律", 15, 53, 60, 12, kButton | CS_GROUP},
        {1054, K::RadioButton, "Scalaファイル", 80, 53, 70, 12, CS_NONE},
        {IDC_STATIC, K::Static, "基準周波数 (A4 または 0度の音) Hz:", 15, 72, 0, 8, CS_NONE},
        {1055, K::Edit, "", 160, 70, 64, 14, kEdit | CS_GROUP},
        {IDC_STATIC, K::Static, "音階ファイル (.scl):", 15, 90, 0, 8, CS_NONE},
        {1056, K::Edit, "", 15, 101, 160, 14, kReadOnlyEdit},
        {1057, K::PushButton, "参照...", 180, 101, 44, 14, kButton},
        {IDC_STATIC, K::Static, "キーボードマップ (.kbm):", 15, 121, 0, 8, CS_NONE},
        {1058, K::Edit, "", 15, 132, 160, 14, kReadOnlyEdit},
        {1059, K::PushButton, "参照...", 180, 132, 44, 14, kButton},
        {1060, K::PushButton, "解除", 180, 147, 44, 14, kButton},
        {IDOK, K::PushButton, "OK", 129, 174, 50, 14, kButton | CS_DEFPUSHBUTTON},
        {IDCANCEL, K::PushButton, "ｷｬﾝｾﾙ", 183, 174, 50, 14, kButton},
    }};

// clang-format on

}  // namespace

std::vector<const char*> DialogTexts() {
    std::vector<const char*> texts;
    for (const int nId : {IDD_ABOUTBOX, IDD_AEROLYRE_DIALOG, IDD_BOARD, IDD_FIR, IDD_ACCOMP, IDD_RECORD,
                          IDD_DEVICE, IDD_TUNING}) {
        const DialogTemplate& tmpl = GetDialogTemplate(nId);
        texts.push_back(tmpl.pszCaption);
        for (const ControlTemplate& c : tmpl.controls) {
            if (c.pszText[0] != '\0') texts.push_back(c.pszText);
        }
    }
    return texts;
}

const DialogTemplate& GetDialogTemplate(int nId) {
    switch (nId) {
        case IDD_ABOUTBOX: return kAbout;
        case IDD_AEROLYRE_DIALOG: return kMain;
        case IDD_BOARD: return kBoard;
        case IDD_FIR: return kFir;
        case IDD_ACCOMP: return kAccomp;
        case IDD_RECORD: return kRecord;
        case IDD_DEVICE: return kDevice;
        case IDD_TUNING: return kTuning;
        default: throw std::out_of_range("no dialog template " + std::to_string(nId));
    }
}
