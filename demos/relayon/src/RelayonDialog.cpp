#include "relayon/RelayonDialog.h"

#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

namespace talvor::relayon {

namespace {

// The dialog's size in dialog units (320 x 200) at the usual 8-point font:
// 1.5 pixels a unit across, 1.625 down.
constexpr int kWidth = 480;
constexpr int kHeight = 325;

}  // namespace

RelayonDialog::RelayonDialog(const std::string& caption, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QString::fromStdString(caption));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);
    setWindowIcon(applicationIcon());

    m_edit = new QPlainTextEdit(this);
    m_edit->installEventFilter(this);
    m_edit->setLineWrapMode(QPlainTextEdit::NoWrap);  // long lines scroll sideways
    m_edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_edit->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_edit, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) {
        std::unique_ptr<QMenu> menu(m_edit->createStandardContextMenu());
        menu->addSeparator();
        menu->addAction(QString::fromLatin1(kAboutMenuText), this, &RelayonDialog::showAbout);
        menu->exec(m_edit->mapToGlobal(p));
    });

    auto* ok = new QPushButton(tr("OK"), this);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    ok->setDefault(true);
    ok->setFixedWidth(75);
    cancel->setFixedWidth(75);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 11, 10, 11);
    layout->addWidget(m_edit, 1);
    layout->addLayout(buttons);
    resize(kWidth, kHeight);

    m_endpoint = platform::WindowEndpoint::create(
        caption, [this](std::uint32_t msg, std::uint32_t w, std::int32_t l) { return onMessage(msg, w, l); },
        &m_registrationError);
}

RelayonDialog::~RelayonDialog() = default;

QString RelayonDialog::logText() const
{
    return RelayonLog::fromDisplay(m_edit->toPlainText());
}

std::int32_t RelayonDialog::onMessage(std::uint32_t msg, std::uint32_t wParam, std::int32_t lParam)
{
    // The user may have edited the log: the append works on what is shown.
    m_log.setText(logText());
    if (!m_log.handleMessage(msg, wParam, lParam))
        return 0;
    m_edit->setPlainText(RelayonLog::toDisplay(m_log.text()));
    m_edit->moveCursor(QTextCursor::End);
    m_edit->verticalScrollBar()->setValue(m_edit->verticalScrollBar()->maximum());
    return 0;
}

QIcon RelayonDialog::applicationIcon()
{
    // A receiver's tray with a word coming in: drawn, so no image file is needed.
    QIcon icon;
    for (int size : {16, 32, 48}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        const qreal u = size / 16.0;
        p.setPen(QPen(QColor(0, 0, 128), u));
        p.setBrush(QColor(255, 255, 224));
        p.drawRoundedRect(QRectF(1.5 * u, 5.5 * u, 13 * u, 9 * u), 1.5 * u, 1.5 * u);
        p.setBrush(QColor(0, 128, 0));
        p.setPen(Qt::NoPen);
        p.drawPolygon(QPolygonF({QPointF(5 * u, 0.5 * u), QPointF(11 * u, 0.5 * u), QPointF(11 * u, 3 * u),
                                 QPointF(13 * u, 3 * u), QPointF(8 * u, 7 * u), QPointF(3 * u, 3 * u),
                                 QPointF(5 * u, 3 * u)}));
        p.setPen(QPen(QColor(0, 0, 128), u));
        for (int line = 0; line < 2; ++line)
            p.drawLine(QPointF(4 * u, (9.5 + 2.5 * line) * u), QPointF(12 * u, (9.5 + 2.5 * line) * u));
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

bool RelayonDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_edit && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            accept();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

QDialog* RelayonDialog::makeAboutDialog(QWidget* parent)
{
    auto* about = new QDialog(parent);
    about->setWindowTitle(QString::fromLatin1(kAboutCaption));
    auto* icon = new QLabel(about);
    icon->setPixmap(applicationIcon().pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);
    auto* text = new QLabel(QString::fromLatin1(kAboutVersion) + QStringLiteral("\n\n") +
                                QObject::tr("Shows the words a live recogniser posts to this window."),
                            about);
    text->setTextFormat(Qt::PlainText);
    auto* ok = new QPushButton(QObject::tr("OK"), about);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, about, &QDialog::accept);
    auto* right = new QVBoxLayout;
    right->addWidget(ok);
    right->addStretch(1);
    auto* layout = new QHBoxLayout(about);
    layout->addWidget(icon);
    layout->addWidget(text, 1);
    layout->addLayout(right);
    return about;
}

void RelayonDialog::showAbout()
{
    std::unique_ptr<QDialog> about(makeAboutDialog(this));
    about->exec();
}

void RelayonDialog::contextMenuEvent(QContextMenuEvent* e)
{
    QMenu menu(this);
    menu.addAction(QString::fromLatin1(kAboutMenuText), this, &RelayonDialog::showAbout);
    menu.exec(e->globalPos());
}

}  // namespace talvor::relayon
