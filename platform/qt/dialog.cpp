// The dialog builder and the dialog behaviour of the Windows dialog manager.
#include "platform/qt/dialog.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSlider>
#include <QStyleFactory>
#include <QWindow>

#include "platform/qt/icons.h"
#include "platform/shown_text.h"

namespace {

// The dialog manager's rounding: MulDiv(v, base, 4 or 8).
int MulDiv(int v, int nMul, int nDiv) { return (v * nMul + (v >= 0 ? nDiv / 2 : -nDiv / 2)) / nDiv; }

LoadStringProc g_pfnLoadString = nullptr;

}  // namespace

std::string LoadDialogString(unsigned nId) {
    const char* psz = g_pfnLoadString != nullptr ? g_pfnLoadString(nId) : nullptr;
    return psz != nullptr ? psz : "";
}

void InitDialogFramework(LoadStringProc pfnLoadString, const char* const* ppIcon32,
                         const char* const* ppIcon16) {
    g_pfnLoadString = pfnLoadString;
    SetAppIconData(ppIcon32, ppIcon16);
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    // The Windows dialog font, by its Japanese name, is IPAPGothic here: metric-compatible.
    QFont::insertSubstitution(QString::fromUtf8("ＭＳ Ｐゴシック"), "IPAPGothic");
    QFont::insertSubstitution(QString::fromUtf8("ＭＳ ゴシック"), "IPAGothic");
    // Qt's own dialogs and prompts (file dialogs, the overwrite question, message box buttons)
    // speak the program's language, and every window, message boxes included, uses its font.
    // (In English they are Qt's own words.)
    static QTranslator s_translator;
    if (ShownLanguage() == "ja" &&
        s_translator.load(QLocale(QLocale::Japanese, QLocale::Japan), "qtbase", "_",
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(&s_translator);
    }
    QFont font(QString::fromUtf8("ＭＳ Ｐゴシック"));
    font.setPointSize(9);
    QApplication::setFont(font);
}

CDialog::CDialog(const DialogTemplate& tmpl, QWidget* pParent) : QDialog(pParent), m_template(tmpl) {
    Build();
}

void CDialog::Build() {
    QFont font(QString::fromUtf8(m_template.pszFont));
    font.setPointSize(m_template.nPointSize);
    setFont(font);
    setWindowTitle(QString::fromUtf8(ShownText(m_template.pszCaption)));

    // Base units as the dialog manager computes them: the average width of A–Z a–z, rounded,
    // and the font's height.
    const QFontMetrics fm(font);
    const int cx = fm.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    m_nBaseX = (cx / 26 + 1) / 2;
    m_nBaseY = fm.height();

    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (m_template.nStyle & DS_SYSMENU) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (m_template.nStyle & DS_MAXIMIZEBOX) flags |= Qt::WindowMaximizeButtonHint;
    if (m_template.nStyle & DS_MINIMIZEBOX) flags |= Qt::WindowMinimizeButtonHint;
    setWindowFlags(flags);
    const QRect client = MapDialogRect(0, 0, m_template.cx, m_template.cy);
    if (m_template.nStyle & DS_SIZINGBORDER) {
        resize(client.size());
        setSizeGripEnabled(false);
    } else {
        setFixedSize(client.size());
    }

    QWidget* pPrevTab = nullptr;
    QWidget* pFirstTab = nullptr;
    for (const ControlTemplate& c : m_template.controls) {
        const QString text = QString::fromUtf8(ShownText(c.pszText));
        QWidget* w = nullptr;
        switch (c.kind) {
            case ControlKind::Static: {
                auto* p = new QLabel(text, this);
                p->setTextFormat(Qt::PlainText);
                w = p;
                break;
            }
            case ControlKind::Icon: {
                auto* p = new QLabel(this);
                p->setPixmap(AppIcon32());
                w = p;
                break;
            }
            case ControlKind::GroupBox: w = new QGroupBox(text, this); break;
            case ControlKind::Edit: {
                auto* p = new QLineEdit(text, this);
                p->setReadOnly(c.nStyle & CS_READONLY);
                w = p;
                break;
            }
            case ControlKind::PushButton: {
                auto* p = new QPushButton(text, this);
                p->setAutoDefault(false);
                p->setDefault(c.nStyle & CS_DEFPUSHBUTTON);
                const int nId = c.nId;
                if (nId == IDOK) QObject::connect(p, &QPushButton::clicked, this, [this] { OnOK(); });
                if (nId == IDCANCEL) QObject::connect(p, &QPushButton::clicked, this, [this] { OnCancel(); });
                w = p;
                break;
            }
            case ControlKind::CheckBox: w = new QCheckBox(text, this); break;
            case ControlKind::RadioButton: w = new QRadioButton(text, this); break;
            case ControlKind::ListBox: {
                auto* p = new QListWidget(this);
                p->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
                p->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
                p->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
                p->setSelectionMode(QAbstractItemView::SingleSelection);
                w = p;
                break;
            }
            case ControlKind::Trackbar: {
                auto* p = new QSlider(Qt::Horizontal, this);
                p->setRange(0, 100);
                p->setTickPosition(QSlider::NoTicks);
                p->setPageStep(10);
                w = p;
                break;
            }
        }
        if (c.nId != IDC_STATIC) w->setObjectName(QString::number(c.nId));
        if (c.cx == 0) {
            // A label placed by its top-left corner only: as wide as its text.
            const QRect r = MapDialogRect(c.x, c.y, 0, c.cy);
            w->setGeometry(r.x(), r.y(), w->sizeHint().width(), std::max(r.height(), fm.height()));
        } else {
            w->setGeometry(MapDialogRect(c.x, c.y, c.cx, c.cy));
        }
        if (c.nStyle & CS_DISABLED) w->setEnabled(false);
        if (c.nStyle & CS_TABSTOP) {
            w->setFocusPolicy(Qt::StrongFocus);
            if (pPrevTab != nullptr) QWidget::setTabOrder(pPrevTab, w);
            if (pFirstTab == nullptr) pFirstTab = w;
            pPrevTab = w;
        } else if (c.kind != ControlKind::Static && c.kind != ControlKind::Icon &&
                   c.kind != ControlKind::GroupBox) {
            w->setFocusPolicy(Qt::ClickFocus);
        }
    }
    WidenClippedButtons();
    WidenClippedLabels();
}

// A check box or radio button whose text is wider in this font than its rectangle gets the room
// it needs, as far as the next control on its row or the dialog's edge, so no caption is cut off.
void CDialog::WidenClippedButtons() {
    const QList<QAbstractButton*> buttons = findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly);
    for (QAbstractButton* b : buttons) {
        if (qobject_cast<QCheckBox*>(b) == nullptr && qobject_cast<QRadioButton*>(b) == nullptr) continue;
        const QRect r = b->geometry();
        if (b->sizeHint().width() <= r.width()) continue;
        int nRight = width();
        for (QWidget* other : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            const QRect o = other->geometry();
            if (other == b || qobject_cast<QGroupBox*>(other) != nullptr) continue;
            if (o.left() >= r.right() && o.top() < r.bottom() && o.bottom() > r.top())
                nRight = std::min(nRight, o.left());
        }
        b->resize(std::max(r.width(), std::min(b->sizeHint().width(), nRight - r.left())), r.height());
    }
}

// A label whose text is wider in this font than its rectangle (a translation running longer than
// the template's own text) gets the room it needs, as far as the neighbouring control on its row,
// its group's frame or the dialog's edge: one that ends at the control it names grows to the left,
// so it still ends there; any other grows to the right.
void CDialog::WidenClippedLabels() {
    const QList<QLabel*> labels = findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
    for (QLabel* l : labels) {
        const QRect r = l->geometry();
        const int nNeed = l->sizeHint().width();
        if (!l->pixmap().isNull() || nNeed <= r.width()) continue;
        int nLeft = 0;
        int nRight = width();
        bool bNames = false;
        for (QWidget* other : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            const QRect o = other->geometry();
            if (other == l) continue;
            if (qobject_cast<QGroupBox*>(other) != nullptr) {
                if (o.contains(r)) {
                    nLeft = std::max(nLeft, o.left() + m_nBaseX);
                    nRight = std::min(nRight, o.right() + 1 - m_nBaseX);
                }
                continue;
            }
            if (o.top() > r.bottom() || o.bottom() < r.top()) continue;  // not on its row
            if (o.left() > r.right()) {
                nRight = std::min(nRight, o.left());
                bNames = bNames || o.left() - r.right() <= m_nBaseX;
            } else if (o.right() < r.left()) {
                nLeft = std::max(nLeft, o.right() + 1 + m_nBaseX / 2);
            }
        }
        if (bNames) {
            const int nNewLeft = std::max(nLeft, r.right() + 1 - nNeed);
            l->setGeometry(nNewLeft, r.top(), r.right() + 1 - nNewLeft, r.height());
        } else {
            l->resize(std::max(r.width(), std::min(nNeed, nRight - r.left())), r.height());
        }
    }
}

QRect CDialog::MapDialogRect(int x, int y, int cx, int cy) const {
    return QRect(MulDiv(x, m_nBaseX, 4), MulDiv(y, m_nBaseY, 8), MulDiv(cx, m_nBaseX, 4),
                 MulDiv(cy, m_nBaseY, 8));
}

QWidget* CDialog::GetDlgItem(int nId) const {
    return findChild<QWidget*>(QString::number(nId), Qt::FindDirectChildrenOnly);
}

RECT CDialog::GetWindowRect() const {
    const QRect r = frameGeometry();
    return RECT{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

void CDialog::MoveWindow(const RECT& rc) {
    // The frame's own size comes off the window rectangle to give the client size.
    const QRect frame = frameGeometry();
    const QRect inner = geometry();
    const int dw = frame.width() - inner.width();
    const int dh = frame.height() - inner.height();
    const QSize client(std::max(0, rc.right - rc.left - dw), std::max(0, rc.bottom - rc.top - dh));
    // A move to where the window already stands is no move: the default placement still applies.
    if (QPoint(rc.left, rc.top) != frame.topLeft() || client != inner.size()) m_bPlaced = true;
    move(rc.left, rc.top);
    resize(client);
}

bool CDialog::UpdateData(bool bSaveAndValidate) {
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return !dx.m_bFailed;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(false);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

void CDialog::OnOK() {
    if (!UpdateData(true)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::EndDialog(int nResult) { QDialog::done(nResult); }

void CDialog::PlaceByDefault() {
    // Centred over the owner (or on the screen's work area without one), kept inside the work area.
    QScreen* pScreen =
        parentWidget() != nullptr ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (pScreen == nullptr) return;
    const QRect work = pScreen->availableGeometry();
    const QRect area = parentWidget() != nullptr ? parentWidget()->frameGeometry() : work;
    QRect frame = frameGeometry();
    frame.moveCenter(area.center());
    if (frame.right() > work.right()) frame.moveRight(work.right());
    if (frame.bottom() > work.bottom()) frame.moveBottom(work.bottom());
    if (frame.left() < work.left()) frame.moveLeft(work.left());
    if (frame.top() < work.top()) frame.moveTop(work.top());
    move(frame.topLeft());
}

int CDialog::DoModal() {
    m_bPlaced = false;
    setWindowIcon(AppIcon());
    // The frame's size is known only once the window exists.
    winId();
    // Every template is at position 0, 0 until it is placed.
    move(0, 0);
    const BOOL bDefaultFocus = OnInitDialog();
    if (!m_bPlaced) PlaceByDefault();
    if (bDefaultFocus) {
        for (QWidget* w = nextInFocusChain(); w != nullptr && w != this; w = w->nextInFocusChain()) {
            if (w->focusPolicy() & Qt::TabFocus && w->isEnabled()) {
                w->setFocus(Qt::TabFocusReason);
                if (auto* pEdit = qobject_cast<QLineEdit*>(w)) pEdit->selectAll();
                break;
            }
        }
    }
    const int nResult = exec();
    OnDestroy();
    return nResult == IDOK ? IDOK : IDCANCEL;
}

void CDialog::keyPressEvent(QKeyEvent* pEvent) {
    switch (pEvent->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (auto* pButton = qobject_cast<QPushButton*>(focusWidget())) {
                pButton->click();
            } else {
                OnOK();
            }
            return;
        case Qt::Key_Escape: OnCancel(); return;
        default: QDialog::keyPressEvent(pEvent);
    }
}

void CDialog::closeEvent(QCloseEvent* pEvent) {
    // The close box acts as Cancel; the dialog ends through EndDialog, not by closing here.
    pEvent->ignore();
    OnCancel();
}
