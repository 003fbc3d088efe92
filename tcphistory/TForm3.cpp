#include "tcphistory/TForm3.h"

#include "controls/CrispFrame.h"
#include "controls/ErrorReport.h"
#include "controls/Fonts.h"
#include "controls/KeyPress.h"
#include "controls/Notifier.h"
#include "controls/TlxButton.h"
#include "controls/UiThread.h"
#include "tcphistory/HistoryGridModel.h"
#include "tcphistory/LocaleClock.h"
#include "tcphistory/XlsExport.h"

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QToolTip>

#include <mutex>
#include <system_error>

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
// Beside the check box, empty until a row with facts is current: the window opens as it always did.
constexpr QRect kDetailsRect(160, 23, 535, 20);
constexpr QRect kJournalRect(8, 444, 200, 20);
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
        QStringList tip;
        if (!cell.text.isEmpty() && cell.fontMetrics.horizontalAdvance(cell.text) > text.width())
            tip << cell.text;
        // The row's facts, the same line the details line shows.
        if (const QString details = index.data(Qt::ToolTipRole).toString(); !details.isEmpty())
            tip << details;
        if (!tip.isEmpty()) {
            QToolTip::showText(event->globalPos(), tip.join(QLatin1Char('\n')), view->viewport(),
                               option.rect);
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
void readConnections(ConnectionReader& reader, ConnectionPoll& read) {
    try {
        reader.read(read);
    } catch (...) {
        read = ConnectionPoll{};
    }
}

} // namespace

struct TForm3::Inbox {
    std::mutex mutex;
    TForm3* form = nullptr;
};

TForm3::TForm3(QWidget* parent, std::shared_ptr<TcpTable> table, std::shared_ptr<HistoryClock> clock)
    : QDialog(parent), table_(table ? table : std::shared_ptr<TcpTable>(makeSystemTcpTable())),
      clock_(clock ? std::move(clock) : std::make_shared<LocaleClock>()),
      history_(std::make_unique<ConnectionHistory>(*clock_)),
      reader_(std::make_shared<ConnectionReader>(*table_)) {
    // The closing broadcasts are the system's: they go with the system's table only, from the
    // moment recording starts (nothing listens before anything is recorded).
    reader_->watchClosingsFromFirstRead(table_->systemSockets());
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral(" TCPHistory"));
    setFont(QFont(QStringLiteral("Arial"), 8));
    setAutoFillBackground(true);
    setFixedFace(this, Qt::white);

    buildControls();
    bindHandlers();
    history_->setObserver(this);
    inbox_ = std::make_shared<Inbox>();
    inbox_->form = this;
    resize(kDesignWidth, kDesignHeight);
    placeControls(); // a hidden window gets its resize event only when shown
    FormCreate();
}

TForm3::~TForm3() {
    {
        std::lock_guard lock(inbox_->mutex);
        inbox_->form = nullptr;
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

    lblDetails = new QLabel(stStart);
    lblDetails->setObjectName(QStringLiteral("lblDetails"));
    lblDetails->setGeometry(kDetailsRect);
    lblDetails->setFont(verdana8());
    lblDetails->setTextFormat(Qt::PlainText);
    lblDetails->setAccessibleName(QStringLiteral("Verbindungsdetails"));
    setFixedText(lblDetails);

    cbJournal = new QCheckBox(QStringLiteral("Mitschnitt in Datei"), stStart);
    cbJournal->setObjectName(QStringLiteral("cbJournal"));
    cbJournal->setGeometry(kJournalRect);
    cbJournal->setFont(verdana8());
    cbJournal->setAccessibleDescription(
        QStringLiteral("Schreibt jede Zeile der History zusätzlich in eine CSV-Datei"));
    setFixedText(cbJournal);
    JournalDialog.Filter = QStringLiteral("CSV (*.csv)|*.csv");
    JournalDialog.DefaultExt = QStringLiteral(".csv");

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

    SaveDialog1.Filter = QStringLiteral(
        "Excel (*.xls)|*.xls|CSV, alle Angaben (*.csv)|*.csv|JSON Lines, alle Angaben (*.jsonl)|*.jsonl");
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
    connectGuarded(cbJournal, &QCheckBox::toggled, this, &TForm3::cbJournalClick);
    connect(sgConnHist->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { showDetails(); });

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
    // Recording starts: the closings are watched from now on, not only from the first poll's end.
    if (cbShowListeners->isChecked()) {
        try {
            worker_.submit([reader = reader_, table = table_, start = std::chrono::system_clock::now()] {
                reader->startWantedWatch();
                reader->dropClosingsBefore(start); // what closed while nothing was recorded
            });
        } catch (const std::system_error&) {
            // No worker: the first poll starts the watch.
        }
    }
}

void TForm3::sbClearClick() {
    history_->clear();
}

void TForm3::Button1Click() {
    history_->clear();
}

void TForm3::lxButton2Click() {
    if (!SaveDialog1.Execute(this)) return;
    const std::string fileName = QFile::encodeName(SaveDialog1.FileName).toStdString();
    // The typed extension decides, else the chosen filter: .xls holds the seven columns only.
    const QString name = SaveDialog1.FileName.toLower();
    const int format = name.endsWith(QStringLiteral(".csv"))     ? 2
                       : name.endsWith(QStringLiteral(".jsonl")) ? 3
                       : name.endsWith(QStringLiteral(".xls"))   ? 1
                                                                 : SaveDialog1.FilterIndex;
    if (format == 2)
        SaveHistoryAsCsv(*history_, fileName);
    else if (format == 3)
        SaveHistoryAsJsonLines(*history_, fileName);
    else
        SaveGridAsXls(history_->rows(), fileName);
}

void TForm3::cbJournalClick() {
    if (!cbJournal->isChecked()) {
        journal_.close();
        return;
    }
    const QSignalBlocker quiet(cbJournal);
    cbJournal->setChecked(false); // until a file is open
    if (!JournalDialog.Execute(this)) return;
    journal_.open(QFile::encodeName(JournalDialog.FileName).toStdString());
    cbJournal->setChecked(true);
}

void TForm3::stopJournal(const QString& message) {
    {
        const QSignalBlocker quiet(cbJournal);
        cbJournal->setChecked(false);
    }
    // Outside the merge: the notice runs a modal loop, and the polls go on meanwhile.
    QTimer::singleShot(0, this, [this, message] { notifier().information(this, message); });
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
        // The task keeps the table the reader reads alive, also past the window.
        worker_.submit([inbox = inbox_, reader = reader_, table = table_, poll] {
            auto read = std::make_shared<ConnectionPoll>();
            readConnections(*reader, *read);
            std::lock_guard lock(inbox->mutex);
            if (inbox->form == nullptr) return;
            TForm3* form = inbox->form;
            postToUi(form, [form, poll, read = std::move(read)] { form->pollRead(poll, *read); });
        });
    } catch (const std::system_error&) {
        // No thread to be had: this poll reads the table here, and the timer runs on.
        ConnectionPoll read;
        readConnections(*reader_, read);
        pollRead(poll, read);
    }
}

void TForm3::pollRead(unsigned poll, const ConnectionPoll& read) {
    polling_ = false;
    runGuarded(this, [&] { history_->endTick(poll, read); });
}

void TForm3::showDetails() {
    const QModelIndex current = sgConnHist->currentIndex();
    QString details = current.isValid() ? grid_->detailsText(current.row()) : QString();
    // Without a row's facts to show, the line says when connections may be missing.
    if (details.isEmpty() && history_->lostClosings() > 0)
        details = QStringLiteral("%1 Verbindungsenden nicht erfasst (Puffer des Systems voll)")
                      .arg(history_->lostClosings());
    // The line shows what fits, cut with an ellipsis; its tooltip and accessible description
    // carry the whole text.
    const QString shown = lblDetails->fontMetrics().elidedText(details, Qt::ElideRight, lblDetails->width());
    if (lblDetails->text() == shown && lblDetails->toolTip() == details) return;
    lblDetails->setText(shown);
    lblDetails->setToolTip(details);
    lblDetails->setAccessibleDescription(details);
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
    lblDetails->setGeometry(kDetailsRect.adjusted(0, 0, size.width() - kDesignWidth, 0));
    showDetails(); // cut to the new width
    cbJournal->setGeometry(kJournalRect.translated(0, size.height() - kDesignHeight));
}

void TForm3::historyReset() {
    grid_->historyReset();
    showDetails();
}

void TForm3::titlesChanged() {
    grid_->titlesChanged();
}

void TForm3::rowsAppended(std::size_t first, std::size_t rowCount) {
    grid_->rowsAppended(first, rowCount);
    if (journal_.isOpen() && !journal_.append(*history_, first, rowCount - 1, {}))
        stopJournal(QString::fromStdString(journal_.error()));
}

void TForm3::factsChanged(const std::vector<std::size_t>& closed) {
    grid_->factsChanged();
    showDetails();
    if (journal_.isOpen() && !closed.empty() && !journal_.append(*history_, 0, 0, closed))
        stopJournal(QString::fromStdString(journal_.error()));
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
