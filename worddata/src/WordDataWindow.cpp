#include "worddata/WordDataWindow.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "platform/Dialogs.h"
#include "worddata/DialogsMessageOutput.h"

namespace talvor::worddata {

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

QLabel* plainLabel(const QString& text)
{
    auto* l = new QLabel(text);
    l->setTextFormat(Qt::PlainText);
    return l;
}

}  // namespace

WordDataWindow::WordDataWindow(WordDataStore& store, const std::string& appPath, QWidget* parent)
    : QMainWindow(parent), m_editor(store, *this, appPath)
{
    setWindowTitle(QString::fromUtf8(kWordDataCaption));
    m_editor.setTableChanged([this] {
        if (m_tableChanged)
            m_tableChanged();
    });

    auto* central = new QWidget;
    auto* layout = new QVBoxLayout(central);

    m_grid = new QTableWidget;
    m_grid->setColumnCount(kWordTableColumns);
    QStringList headers;
    for (const char* h : kWordTableHeaders)
        headers << QString::fromUtf8(h);
    m_grid->setHorizontalHeaderLabels(headers);
    m_grid->verticalHeader()->setVisible(false);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    for (int c = 0; c < kWordTableColumns; ++c)
        m_grid->setColumnWidth(c, 1000 / 15);  // 1000 twips
    m_grid->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(m_grid, 1);

    auto* fields = new QGridLayout;
    m_lblName = plainLabel(QString());
    m_lblFilePar = plainLabel(QString());
    m_lblFileRec = plainLabel(QString());
    m_lblWords = plainLabel(QString());
    m_txtName = new QLineEdit;
    m_txtName->setReadOnly(true);
    const char* captions[] = {"Current LAB file :", "File with parameters :", "File with sample signal :",
                              "Current word :", "Words :"};
    QWidget* values[] = {m_lblName, m_lblFilePar, m_lblFileRec, m_txtName, m_lblWords};
    for (int k = 0; k < 5; ++k) {
        fields->addWidget(plainLabel(QString::fromUtf8(captions[k])), k, 0);
        fields->addWidget(values[k], k, 1);
    }
    m_label1 = plainLabel(QString());
    fields->addWidget(m_label1, 5, 0, 1, 2);
    fields->setColumnStretch(1, 1);
    layout->addLayout(fields);

    auto* buttons = new QHBoxLayout;
    m_play = new QPushButton(QStringLiteral("Play"));
    auto* playNext = new QPushButton(QStringLiteral("Play next word"));
    auto* ok = new QPushButton(QStringLiteral("OK"));
    buttons->addWidget(m_play);
    buttons->addWidget(playNext);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    layout->addLayout(buttons);
    setCentralWidget(central);

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("N&ew vocabulary"), this, [this] { run(&WordDataEditor::miNew_Click); });
    file->addAction(QStringLiteral("Open saved vocabulary"), this, [this] { run(&WordDataEditor::miOpen_Click); });
    file->addSeparator();
    file->addAction(QStringLiteral("Save vocabulary"), this, [this] {
        m_editor.miSave_Click();
        refresh();
    });
    file->addAction(QStringLiteral("Save &As ..."), this, [this] {
        m_editor.miSaveAs_Click();
        refresh();
    });
    file->addSeparator();
    file->addAction(QStringLiteral("&Hide vocabulary options form"), this, [this] { run(&WordDataEditor::miHide_Click); });
    file->addSeparator();
    file->addAction(QStringLiteral("E&xit vocabulary options"), this, [this] { run(&WordDataEditor::miExit_Click); });

    QMenu* tools = menuBar()->addMenu(QStringLiteral("&Tools"));
    tools->addAction(QStringLiteral("&Play word"), this, [this] { run(&WordDataEditor::miPlay_Click); });
    tools->addSeparator();
    tools->addAction(QStringLiteral("&Insert new word"), this, [this] { run(&WordDataEditor::miInsert_Click); });
    tools->addAction(QStringLiteral("&Append new word"), this, [this] { run(&WordDataEditor::miApend_Click); });
    tools->addAction(QStringLiteral("&Remove current word from vocabulary"), this,
                     [this] { run(&WordDataEditor::miRemove_Click); });

    connect(m_play, &QPushButton::clicked, this, [this] { run(&WordDataEditor::cmbPlay_Click); });
    connect(playNext, &QPushButton::clicked, this, [this] { run(&WordDataEditor::cmbPlayNext_Click); });
    connect(ok, &QPushButton::clicked, this, [this] { run(&WordDataEditor::Command1_Click); });
    connect(m_grid, &QTableWidget::currentCellChanged, this, [this](int row, int, int, int) {
        if (m_filling || row < 0)
            return;
        m_editor.grdLab_Click(row + 1);
        m_txtName->setText(qs(m_editor.txtName()));
        if (m_rowPicked)
            m_rowPicked(row + 1);
    });
    m_playTimer.setSingleShot(true);
    connect(&m_playTimer, &QTimer::timeout, this, [this] { run(&WordDataEditor::TimerPlay_Timer); });

    resize(5 * 1000 / 15 + 60, 460);
    refresh();
}

WordDataWindow::~WordDataWindow() = default;

void WordDataWindow::run(void (WordDataEditor::*command)())
{
    (m_editor.*command)();
    refresh();
}

void WordDataWindow::refresh()
{
    const WordDataStore& store = m_editor.store();
    m_filling = true;
    const int words = std::max(0, store.Rows() - 1);
    m_grid->setRowCount(words);
    for (int r = 0; r < words; ++r)
        for (int c = 0; c < kWordTableColumns; ++c) {
            const QString text = qs(store.cell(r + 1, c));
            QTableWidgetItem* item = m_grid->item(r, c);
            if (!item)
                m_grid->setItem(r, c, new QTableWidgetItem(text));
            else if (item->text() != text)
                item->setText(text);
        }
    if (store.currentRow() >= 1)
        m_grid->setCurrentCell(store.currentRow() - 1, ColName);
    m_filling = false;
    m_lblName->setText(qs(store.lblName()));
    m_lblFilePar->setText(qs(store.lblFilePar()));
    m_lblFileRec->setText(qs(store.lblFileRec()));
    m_lblWords->setText(qs(store.lblWords()));
    m_label1->setText(qs(m_editor.label1()));
    m_txtName->setText(qs(m_editor.txtName()));
}

std::optional<std::string> WordDataWindow::inputBox(const std::string& prompt, const std::string& title,
                                                    const std::string& defaultText)
{
    return platform::dialogs().inputBox(prompt, title, defaultText);
}

std::optional<std::string> WordDataWindow::openFile(const std::string& caption, const std::string& folder,
                                                    const std::string& filter)
{
    return platform::dialogs().openFile(caption, folder, filter);
}

std::optional<std::string> WordDataWindow::saveFile(const std::string& caption, const std::string& folder,
                                                    const std::string& filter)
{
    return platform::dialogs().saveFile(caption, folder, filter);
}

void WordDataWindow::showError(const std::string& text)
{
    platform::dialogs().messageBox(text, kWordDataCaption, platform::MessageIcon::Critical,
                                   platform::MessageButtons::Ok);
}

void WordDataWindow::startPlayTimer(std::int32_t milliseconds) { m_playTimer.start(milliseconds); }
void WordDataWindow::stopPlayTimer() { m_playTimer.stop(); }
void WordDataWindow::hideWindow() { hide(); }

}  // namespace talvor::worddata
