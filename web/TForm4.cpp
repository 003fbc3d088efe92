#include "web/TForm4.h"

#include "controls/Announcer.h"
#include "controls/BusyButtons.h"
#include "controls/ErrorReport.h"
#include "controls/FixedWindow.h"
#include "controls/Fonts.h"
#include "controls/KeyPress.h"
#include "controls/Notifier.h"
#include "controls/OperationRunner.h"
#include "controls/TlxButton.h"
#include "controls/WinText.h"
#include "web/ServiceSettings.h"
#include "web/TGoogleRank.h"
#include "web/WebFetch.h"

#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>

namespace orvex {

const QString TForm4::kEmptyAddressNotice =
    QStringLiteral("Bitte erst eine Webadresse eintragen: z.B. www.debian.org ");

namespace {

// The window's outer size is 308 x 157 with the platform's frame; this is what lies inside it.
constexpr int kClientWidth = 300;
constexpr int kClientHeight = 123;

QLineEdit* makeField(QWidget* parent, const char* name, QRect geometry) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setGeometry(geometry);
    // Not a tab stop: the user clicks into it.
    field->setFocusPolicy(Qt::ClickFocus);
    return field;
}

} // namespace

TForm4::TForm4(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Geben Sie bitte eine URL ein.."));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    fixWindowSize(this, QSize(kClientWidth, kClientHeight));
    setAutoFillBackground(true);
    setFixedFace(this, Qt::white);
    setFont(pixelFont(QStringLiteral("Tahoma"), 11));

    GroupBox6 = new QGroupBox(QString::fromUtf8("Google Pagerank™"), this);
    GroupBox6->setObjectName(QStringLiteral("GroupBox6"));
    GroupBox6->setGeometry(49, 25, 201, 73);
    GroupBox6->setFont(pixelFont(QStringLiteral("Arial"), 12));

    Edit3 = makeField(GroupBox6, "Edit3", QRect(8, 21, 161, 23));
    Edit4 = makeField(GroupBox6, "Edit4", QRect(172, 21, 22, 24));
    Edit4->setFont(pixelFont(QStringLiteral("Arial"), 13, true));
    // Both fields would be named after the box.
    Edit3->setAccessibleName(QStringLiteral("Webadresse"));
    Edit4->setAccessibleName(QStringLiteral("Pagerank"));

    lxButton8 = new TlxButton(QStringLiteral("OK"), QRect(129, 45, 65, 20), GroupBox6);
    lxButton8->setObjectName(QStringLiteral("lxButton8"));
    lxButton8->setFocusPolicy(Qt::ClickFocus);
    // Escape closes the window from the fields too, as it closes the other windows. OK takes no
    // focus; Ctrl+Enter in a field presses it, as in the main window's boxes.
    for (QLineEdit* field : {Edit3, Edit4}) {
        bindKeyPress(field, [this](char16_t& key) { FormKeyPress(key); });
        bindControlEnter(field, [this] { lxButton8->click(); });
    }

    // The main window's runner, so that one operation runs at a time; a window of its own otherwise.
    Operations = OperationRunner::of(parent);
    if (Operations == nullptr) Operations = new OperationRunner(this);
    Operations->guard(this);
    // While the query runs OK reads "Stopp" and stops it; while the main window's boxes run one it
    // is disabled.
    auto* busy = new BusyButtons(Operations, this);
    busy->add(lxButton8, [this] { runGuarded(this, [this] { lxButton8Click(); }); });
}

void TForm4::lxButton8Click() {
    if (Edit3->text().isEmpty()) {
        notifier().information(this, kEmptyAddressNotice);
        Edit3->setFocus(Qt::OtherFocusReason);
        return;
    }
    // The query runs on a worker thread; a stopped one is let go, its socket shut down when the
    // window is idle again, and changes nothing.
    auto query = std::make_shared<WebQuery>();
    const bool started = Operations->start(
        [self = QPointer<TForm4>(this), timeouts = webTimeouts, query,
         address = toWinBytes(Edit3->text())](OperationContext&) -> OperationRunner::Completion {
            // The setting is read anew each time: a changed setting counts at once.
            TGoogleRank rank(serviceUrl(WebService::RankQuery), [timeouts, query](const std::string& url) {
                return fetchWithFreshClient(url, timeouts, query);
            });
            const std::int32_t value = rank.GetPageRank(address);
            return [self, value] {
                if (!self) return;
                self->Edit4->setText(QString::number(value));
                announce(self, self->Edit4->accessibleName() + QLatin1Char(' ') + self->Edit4->text());
            };
        },
        OperationRunner::OnStop::Abandon);
    if (started)
        connect(
            Operations, &OperationRunner::idle, this, [query] { query->stop(); }, Qt::SingleShotConnection);
}

void TForm4::FormKeyPress(char16_t& key) {
    if (takeEscape(key)) close();
}

void TForm4::keyPressEvent(QKeyEvent* event) {
    // Keys reach the window's own handler only while no control holds the focus; keys that a field
    // passes on (Enter) end here and do nothing, as the window has no default button.
    const QWidget* focused = QApplication::focusWidget();
    if (focused != nullptr && focused != this) {
        event->accept();
        return;
    }
    if (char16_t key = keyCode(*event); key != 0) runGuarded(this, [&] { FormKeyPress(key); });
    // No control takes the focus by Tab, so typing an address starts here: a printable character
    // moves the focus into the address field and is typed there.
    const bool plain = !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (isVisible() && plain && !event->text().isEmpty() && event->text().at(0).isPrint()) {
        Edit3->setFocus(Qt::OtherFocusReason);
        QKeyEvent typed(QEvent::KeyPress, event->key(), event->modifiers(), event->text());
        QCoreApplication::sendEvent(Edit3, &typed);
    }
    event->accept();
}

void TForm4::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    centreOverOwner();
    // The focus goes back to the control that last held it; the first time, to the window itself.
    if (lastFocus_) lastFocus_->setFocus(Qt::OtherFocusReason);
}

void TForm4::hideEvent(QHideEvent* event) {
    lastFocus_ = focusWidget();
    QDialog::hideEvent(event);
}

void TForm4::centreOverOwner() {
    const QWidget* owner = parentWidget();
    if (owner == nullptr) return;
    const QRect ownerFrame = owner->window()->frameGeometry();
    const QRect frame = frameGeometry();
    move(ownerFrame.center() - QPoint(frame.width() / 2, frame.height() / 2) + (pos() - frame.topLeft()));
}

} // namespace orvex
