#include "workbench/SmallWindows.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace talvor::workbench {

ModelsDialog::ModelsDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Model Parameters"));
    auto* frame = new QGroupBox;
    m_numFiles = new QLabel;
    m_files = new QLabel;
    m_files->setWordWrap(true);
    m_files->setTextFormat(Qt::PlainText);
    m_states = new QLabel;
    m_mixtures = new QLabel;
    m_features = new QLabel;
    auto* boxes = new QGridLayout;
    for (int i = 0; i < kFeatureCount; ++i) {
        auto* b = new QCheckBox(QString::fromUtf8(featureBoxCaption(i)));
        // For display: the models' features cannot be changed here.
        b->setAttribute(Qt::WA_TransparentForMouseEvents);
        b->setFocusPolicy(Qt::NoFocus);
        m_feature[std::size_t(i)] = b;
        const int column = i < 8 ? 0 : i < 16 ? 1 : 2;
        const int row = i < 16 ? i % 8 : i - 16;
        boxes->addWidget(b, row, column);
    }
    boxes->setHorizontalSpacing(24);
    auto* layout = new QVBoxLayout(frame);
    for (QLabel* l : {m_numFiles, m_files, m_states, m_mixtures, m_features})
        layout->addWidget(l);
    layout->addSpacing(8);
    layout->addLayout(boxes);
    auto* ok = new QPushButton(tr("OK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::hide);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(frame);
    outer->addWidget(ok, 0, Qt::AlignHCenter);
}

void ModelsDialog::setParameters(const ModelParameters& p)
{
    m_numFiles->setText(QString::fromStdString(p.lblNumFiles));
    m_files->setText(QString::fromStdString(p.lblFiles));
    m_states->setText(QString::fromStdString(p.lblStates));
    m_mixtures->setText(QString::fromStdString(p.lblMixtures));
    m_features->setText(QString::fromStdString(p.lblFeatures));
    for (int i = 0; i < kFeatureCount; ++i)
        m_feature[std::size_t(i)]->setChecked(p.chkFeature[std::size_t(i)]);
}

RestoreWindow::RestoreWindow(std::function<void()> restore) : m_restore(std::move(restore))
{
    setWindowTitle(QStringLiteral("TalvorII"));
    setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint);
    auto* text = new QLabel(QStringLiteral(" V "));
    QFont f = text->font();
    f.setBold(true);
    f.setPointSize(f.pointSize() + 4);
    text->setFont(f);
    text->setAlignment(Qt::AlignCenter);
    text->setToolTip(tr("Double-click to bring back the workbench"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(text);
    setFixedSize(72, 48);
}

void RestoreWindow::placeTopRight()
{
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    move(area.x() + area.width() - frameGeometry().width(), area.y());
}

void RestoreWindow::mouseDoubleClickEvent(QMouseEvent*)
{
    if (m_restore)
        m_restore();
}

void RestoreWindow::closeEvent(QCloseEvent* event)
{
    // Closing restores, as the double click does.
    event->ignore();
    if (m_restore)
        m_restore();
}

}  // namespace talvor::workbench
