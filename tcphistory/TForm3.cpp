#include "tcphistory/TForm3.h"

#include "controls/CrispFrame.h"
#include "controls/ErrorReport.h"
#include "controls/Fonts.h"
#include "controls/KeyPress.h"
#include "controls/TlxButton.h"
#include "tcphistory/HistoryGridModel.h"
#include "tcphistory/LocaleClock.h"
#include "tcphistory/XlsExport.h"

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QHelpEvent>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QToolTip>

#include <mutex>
#include <system_error>
#include <thread>

namespace orvex {

namespace {

// The client area the window is laid out for; the grid and the buttons keep their distances to
// its edges when the window is resized.
constexpr int kDesignWidth = 702;
constexpr int kDesignHeight = 484;
constexpr QRect kGridRect(7, 47, 688, 386);
constexpr QRect kSaveRect(356, 444, 120, 20);
constexpr QRect kClearRect(484, 444, 120, 20);
constexpr QRect kCloseRect(612, 444, 75, 20);
constexpr int kRowHeight = 16;
constexpr int kColumnWidths[ConnectionHistory::kColumns] = {84, 67, 161, 76, 114, 74, 105};
constexpr int kPollIntervalMs = 500;

// The grid's cells cut their text off; one that does (a long IPv6 address, say) shows its whole
// text as a tooltip. Cells are drawn as by the default delegate.
class WholeTextTips : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override {
        if (event == nullptr || view == nullptr || event->type() != QEvent::ToolTip)
            return QStyledItemDelegate::helpEvent(event, view, option, index);
        QStyleOptionViewItem cell = option;
        initStyleOption(&cell, index);
        const QRect text = view->style()->subElementRect(QStyle::SE_ItemViewItemText, &cell, view);
        if (!cell.text.isEmpty() && cell.fontMetrics.horizontalAdvance(cell.text) > text.width()) {
            QToolTip::showText(event->globalPos(), cell.text, view->viewport(), option.rect);
            return true;
        }
        QToolTip::hideText();
        event->ignore();
        return true;
    }
};

QRect anchoredBottomRight(QRect design, QSize size) {
    return design.translated(size.width() - kDesignWidth, size.height() - kDesignHeight);
}

QFont gridFont() {
    // The grid was designed for the "Terminal" bitmap face; any fixed-pitch face of that height
    // keeps the padded addresses and ports in columns.
    QFont font(QStringLiteral("Liberation Mono"));
    font.setPixelSize(11);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    return font;
}

QFont verdana8() {
    return QFont(QStringLiteral("Verdana"), 8);
}

// The three buttons share everything but the outer light line, the gradient end and the body.
TlxButton* makeButton(QWidget* parent, const char* name, const QString& caption, QRect geometry,
                      TColor lightAndGradient, TColor body) {
    auto* button = new TlxButton(caption, geometry, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setFont(verdana8());
    button->setCursor(Qt::PointingHandCursor);
    button->setBorderStyle(lxbbsBoth);
    button->setColorBorderTopOuter(lightAndGradient);
    button->setColorBorderTopInner(cl3DLight);
    button->setColorBottomInner(clBtnShadow);
    button->setColorBorderBottomOuter(clBlack);
    button->setColorGradient(lightAndGradient);
    button->setColorGradientMouseEnter(14155735);
    button->setColorMouseEnter(15456986);
    button->setEdgeStyle(lxbegNorthWest);
    button->setEdgeCut(8);
    button->setGradientStyle(lxgsVertical);
    button->setUseGradient(false);
    button->setUseMouseOverColor(false);
    button->setColor(body);
    // A body of a fixed colour keeps its caption black under any palette.
    if (!body.isSystem()) button->setFontColor(clBlack);
    return button;
}

// A read that fails finds nothing, as a failed table read does.
void readConnections(TcpTable& table, std::vector<TTcpConnStatus>& list) {
    try {
        ReadTcpConnections(table, &list);
    } catch (...) {
        list.clear();
    }
}

} // namespace

// The worker's way back to the window: null once the window is gone, so a read that ends after it
// delivers nothing.
struct TForm3::PollChannel {
    std::mutex mutex;
    TForm3* form = nullptr;
};

TForm3::TForm3(QWidget* parent, std::shared_ptr<TcpTable> table, std::shared_ptr<HistoryClock> clock)
    : QDialog(parent), table_(table ? std::move(table) : std::shared_ptr<TcpTable>(makeSystemTcpTable())),
      clock_(clock ? std::move(clock) : std::make_shared<LocaleClock>()),
      history_(std::make_unique<ConnectionHistory>(*table_, *clock_)) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral(" TCPHistory"));
    setFont(QFont(QStringLiteral("Arial"), 8));
    setAutoFillBackground(true);
    setFixedFace(this, Qt::white);

    buildControls();
    bindHandlers();
    history_->setObserver(this);
    pollChannel_ = std::make_shared<PollChannel>();
    pollChannel_->form = this;
    resize(kDesignWidth, kDesignHeight);
    placeControls(); // a hidden window gets its resize event only when shown
    FormCreate();
}

TForm3::~TForm3() {
    {
        std::lock_guard lock(pollChannel_->mutex);
        pollChannel_->form = nullptr;
    }
    history_->setObserver(nullptr);
    delete sgConnHist; // its model reads the history, which goes first
}

void TForm3::buildControls() {
    stStart = new QGroupBox(this);
    stStart->setObjectName(QStringLiteral("stStart"));
    stStart->setFont(pixelFont(QStringLiteral("Verdana"), 9));
    // The look of the platform's visual styles, as on the main window: a thin rounded frame with the
    // caption on its top line, over the window's white background.
    stStart->setStyleSheet(QStringLiteral(
        "QGroupBox#stStart { border: 1px solid #d5dfe5; border-radius: 3px; margin-top: 6px; background: "
        "transparent; }"
        "QGroupBox#stStart::title { subcontrol-origin: margin; subcontrol-position: top left; left: 7px;"
        " top: 0px; padding: 0px 2px; color: #0046d5; }"
        // Under a style sheet the header draws its sections in the sheet's font, not its own.
        "QHeaderView { font-family: \"Liberation Mono\"; font-size: 11px; }"
        // The fixed title row in the button face colour with raised cell edges.
        "QHeaderView::section { background: #f0f0f0; color: black; padding: 0px 2px; border: none;"
        " border-right: 1px solid #a0a0a0; border-bottom: 1px solid #a0a0a0; }"));

    cbShowListeners = new QCheckBox(QStringLiteral("Show Listening Ports"), stStart);
    cbShowListeners->setObjectName(QStringLiteral("cbShowListeners"));
    cbShowListeners->setGeometry(8, 23, 143, 20);
    cbShowListeners->setFont(verdana8());
    setFixedText(cbShowListeners);

    sgConnHist = new QTableView(stStart);
    keepFrameCrisp(sgConnHist);
    sgConnHist->setTextElideMode(Qt::ElideNone); // a cell cuts its text off, as grid cells do
    sgConnHist->setObjectName(QStringLiteral("sgConnHist"));
    // Named for itself, not after the box, whose caption carries the changing start time.
    sgConnHist->setAccessibleName(QStringLiteral("TCP-Verbindungen"));
    sgConnHist->setAccessibleDescription(
        QStringLiteral("Eine Zeile je neuer Verbindung oder neuem Listener"));
    grid_ = new HistoryGridModel(*history_, sgConnHist);
    sgConnHist->setModel(grid_);
    sgConnHist->setItemDelegate(new WholeTextTips(sgConnHist));
    sgConnHist->setFont(gridFont());
    sgConnHist->setEditTriggers(QAbstractItemView::NoEditTriggers);
    sgConnHist->setSelectionMode(QAbstractItemView::SingleSelection);
    sgConnHist->setSelectionBehavior(QAbstractItemView::SelectItems);
    sgConnHist->setShowGrid(true);
    sgConnHist->setWordWrap(false);
    sgConnHist->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sgConnHist->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    sgConnHist->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    sgConnHist->verticalHeader()->hide(); // no fixed column
    sgConnHist->verticalHeader()->setMinimumSectionSize(kRowHeight);
    sgConnHist->verticalHeader()->setDefaultSectionSize(kRowHeight);
    sgConnHist->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    QHeaderView* titles = sgConnHist->horizontalHeader(); // the fixed title row
    titles->setFont(gridFont());
    titles->setFixedHeight(kRowHeight);
    titles->setMinimumSectionSize(1);
    titles->setStretchLastSection(false);
    titles->setSectionResizeMode(QHeaderView::Fixed);
    titles->setSectionsClickable(false);
    titles->setHighlightSections(false);
    titles->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (std::size_t column = 0; column < ConnectionHistory::kColumns; ++column)
        titles->resizeSection(static_cast<int>(column), kColumnWidths[column]);

    constexpr TColor kClearLight = 15790320; // red, green and blue 240
    lxButton2 =
        makeButton(stStart, "lxButton2", QStringLiteral("History speichern"), kSaveRect, clWhite, clWindow);
    sbClear =
        makeButton(stStart, "sbClear", QStringLiteral("History löschen"), kClearRect, kClearLight, clWhite);
    lxButton1 = makeButton(stStart, "lxButton1", QStringLiteral("Schließen"), kCloseRect, clWhite, clWhite);

    Button1 = new QPushButton(QStringLiteral("leeren"), stStart);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(232, 440, 75, 25);
    Button1->setAutoDefault(false);
    Button1->hide();

    Timer = new QTimer(this);
    Timer->setObjectName(QStringLiteral("Timer"));
    Timer->setInterval(kPollIntervalMs);

    SaveDialog1.Filter = QStringLiteral("Excel (*.xls)|*.xls");
    SaveDialog1.DefaultExt = QStringLiteral(".xls");
}

void TForm3::bindHandlers() {
    auto onClick = [this](QAbstractButton* button, void (TForm3::*handler)()) {
        connectGuarded(button, &QAbstractButton::clicked, this, handler);
    };
    onClick(lxButton2, &TForm3::lxButton2Click);
    onClick(sbClear, &TForm3::sbClearClick);
    onClick(lxButton1, &TForm3::lxButton1Click);
    onClick(Button1, &TForm3::Button1Click);
    // Every change of the box, by the user or by a click the program makes; the history's own
    // changes of the switch are mirrored with signals blocked.
    connectGuarded(cbShowListeners, &QCheckBox::toggled, this, &TForm3::cbShowListenersClick);
    connectGuarded(Timer, &QTimer::timeout, this, &TForm3::TimerTimer);

    // The window sees keys before the control that has the focus.
    auto* preview = new KeyPressFilter(this, [this](char16_t& key) { FormKeyPress(key); });
    installEventFilter(preview);
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(preview);

    // The buttons take no focus from Tab; these keys press them from anywhere in the window.
    auto pressedBy = [this](QKeySequence keys, QAbstractButton* button) {
        connect(new QShortcut(keys, this), &QShortcut::activated, button, &QAbstractButton::click);
    };
    pressedBy(QKeySequence(Qt::ALT | Qt::Key_S), lxButton2);
    pressedBy(QKeySequence(Qt::CTRL | Qt::Key_S), lxButton2);
    pressedBy(QKeySequence(Qt::ALT | Qt::Key_L), sbClear);
}

void TForm3::FormCreate() {
    setWindowTitle(windowTitle() + QLatin1Char(' '));
    history_->create();
}

void TForm3::cbShowListenersClick() {
    history_->setListening(cbShowListeners->isChecked());
}

void TForm3::sbClearClick() {
    history_->clear();
}

void TForm3::Button1Click() {
    history_->clear();
}

void TForm3::lxButton2Click() {
    if (!SaveDialog1.Execute(this)) return;
    SaveGridAsXls(history_->rows(), QFile::encodeName(SaveDialog1.FileName).toStdString());
}

void TForm3::lxButton1Click() {
    close();
}

void TForm3::FormKeyPress(char16_t& key) {
    if (takeEscape(key)) close();
}

void TForm3::TimerTimer() {
    if (polling_) return;
    polling_ = true;
    const unsigned poll = history_->beginTick();
    try {
        std::thread([channel = pollChannel_, table = table_, poll] {
            auto list = std::make_shared<std::vector<TTcpConnStatus>>();
            readConnections(*table, *list);
            std::lock_guard lock(channel->mutex);
            if (channel->form == nullptr) return;
            QMetaObject::invokeMethod(
                channel->form,
                [form = channel->form, poll, list] {
                    form->polling_ = false;
                    runGuarded(form, [&] { form->history_->endTick(poll, *list); });
                },
                Qt::QueuedConnection);
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: this poll reads the table here, and the timer runs on.
        polling_ = false;
        std::vector<TTcpConnStatus> list;
        readConnections(*table_, list);
        history_->endTick(poll, list);
    }
}

void TForm3::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    placeControls();
}

void TForm3::placeControls() {
    const QSize size = this->size();
    stStart->setGeometry(0, 0, size.width(), size.height());
    sgConnHist->setGeometry(
        kGridRect.adjusted(0, 0, size.width() - kDesignWidth, size.height() - kDesignHeight));
    lxButton2->setGeometry(anchoredBottomRight(kSaveRect, size));
    sbClear->setGeometry(anchoredBottomRight(kClearRect, size));
    lxButton1->setGeometry(anchoredBottomRight(kCloseRect, size));
}

void TForm3::historyReset() {
    grid_->historyReset();
}

void TForm3::titlesChanged() {
    grid_->titlesChanged();
}

void TForm3::rowsAppended(std::size_t first, std::size_t rowCount) {
    grid_->rowsAppended(first, rowCount);
}

void TForm3::timerSwitched(bool on) {
    if (on)
        Timer->start();
    else
        Timer->stop();
}

void TForm3::listeningSwitched(bool on) {
    const QSignalBlocker quiet(cbShowListeners);
    cbShowListeners->setChecked(on);
}

void TForm3::startTimeChanged(const std::string& text) {
    stStart->setTitle(QString::fromStdString(text));
}

} // namespace orvex
