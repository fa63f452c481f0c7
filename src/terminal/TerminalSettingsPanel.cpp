#include "terminal/TerminalSettingsPanel.h"

#include "terminal/TerminalRuntime.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tolvan {

namespace {

struct FieldLook {
    const char* name;    // object name of the box; its problem label adds "Problem"
    const char* caption; // with its access key
    const char* description;
};

// In reading order; access keys clash neither with each other nor with the
// window's tabs (F, V, T).
constexpr FieldLook kFields[TerminalSettingsTexts::FieldCount] = {
    {"txtStationCall", "C&all sign:", "This station's call sign with its SSID, such as N0CALL-1"},
    {"txtHost", "TNC &host:", "Host name or address of the TNC's AGW port; 127.0.0.1 for this computer"},
    {"txtPort", "TNC &port:", "TCP port of the TNC's AGW interface, 1 to 65535; Direwolf uses 8000"},
    {"txtRadioPort", "&Radio port:", "The TNC's radio port, 0 to 255; the first is 0"},
    {"txtDigiPath", "&Digipeater path:", "Digipeaters to connect through, comma-separated; empty for none"},
    {"txtAllowed",
     "A&llowed stations:", "Stations that may send files or talk, comma-separated; empty lets every station"},
};

} // namespace

TerminalSettingsPanel::TerminalSettingsPanel(TerminalRuntime& runtime, QWidget* parent)
    : QWidget(parent)
    , m_runtime(runtime)
{
    setObjectName(QStringLiteral("TerminalSettingsPanel"));
    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    for (int f = 0; f < TerminalSettingsTexts::FieldCount; ++f) {
        const FieldLook& look = kFields[f];
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(look.name));
        auto* label = new QLabel(QString::fromLatin1(look.caption), this);
        label->setBuddy(edit);
        QString plain = QString::fromLatin1(look.caption).remove(u'&');
        plain.chop(1);
        edit->setAccessibleName(plain);
        edit->setAccessibleDescription(QString::fromLatin1(look.description));
        edit->setToolTip(QString::fromLatin1(look.description));
        auto* problem = new QLabel(this);
        problem->setObjectName(QLatin1String(look.name) + QStringLiteral("Problem"));
        problem->setWordWrap(true);
        problem->setTextFormat(Qt::PlainText); // it quotes what was typed
        // Dark red on the window's own background reads at well over 4.5:1.
        problem->setStyleSheet(QStringLiteral("color: #a00000;"));
        problem->setAccessibleName(plain + QStringLiteral(" problem"));
        problem->hide();
        auto* column = new QVBoxLayout;
        column->setSpacing(2);
        column->addWidget(edit);
        column->addWidget(problem);
        form->addRow(label, column);
        m_edits[f] = edit;
        m_problems[f] = problem;
        connect(edit, &QLineEdit::textChanged, this, [this, f] { checkField(f); });
    }

    cmdSave = new QPushButton(QStringLiteral("&Save and apply"), this);
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    cmdSave->setAccessibleDescription(
        QStringLiteral("Writes the settings into the station folder and starts the terminal again with them"));
    cmdUndo = new QPushButton(QStringLiteral("&Undo changes"), this);
    cmdUndo->setObjectName(QStringLiteral("cmdUndo"));
    cmdUndo->setAccessibleDescription(QStringLiteral("Shows the saved settings again"));
    for (QPushButton* b : {cmdSave, cmdUndo}) {
        b->setAutoDefault(true); // Enter presses the focused button
        b->setMinimumHeight(32);
    }
    lblSaved = new QLabel(this);
    lblSaved->setObjectName(QStringLiteral("lblSaved"));
    lblSaved->setWordWrap(true);
    lblSaved->setTextFormat(Qt::PlainText);
    lblSaved->setAccessibleName(QStringLiteral("Settings state"));

    auto* note =
        new QLabel(QStringLiteral("Saved in the station folder; the terminal starts again with them at once."), this);
    note->setWordWrap(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdUndo);
    buttons->addStretch(1);
    // A column of readable width: a port number needs no screen-wide box.
    auto* column = new QVBoxLayout;
    column->addLayout(form);
    column->addWidget(note);
    column->addLayout(buttons);
    column->addWidget(lblSaved);
    column->addStretch(1);
    auto* holder = new QWidget(this);
    holder->setLayout(column);
    holder->setMaximumWidth(760);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(holder, 1);
    layout->addStretch(0);

    connect(cmdSave, &QPushButton::clicked, this, &TerminalSettingsPanel::cmdSave_Click);
    connect(cmdUndo, &QPushButton::clicked, this, &TerminalSettingsPanel::Form_Load);
    Form_Load();
}

void TerminalSettingsPanel::Form_Load()
{
    const TerminalSettingsTexts texts = TerminalSettingsTexts::Read(m_runtime.store());
    for (int f = 0; f < TerminalSettingsTexts::FieldCount; ++f) {
        m_edits[f]->setText(texts.text[f]);
        checkField(f);
    }
    lblSaved->clear();
}

void TerminalSettingsPanel::focusFirstProblem()
{
    for (int f = 0; f < TerminalSettingsTexts::FieldCount; ++f) {
        if (!m_problems[f]->text().isEmpty()) {
            m_edits[f]->setFocus();
            return;
        }
    }
    m_edits[0]->setFocus();
}

void TerminalSettingsPanel::checkField(int field)
{
    const QString why = TerminalSettingsTexts::Check(TerminalSettingsTexts::Field(field), m_edits[field]->text());
    m_problems[field]->setText(why);
    m_problems[field]->setVisible(!why.isEmpty());
    // A screen reader hears the problem with the box, not only beside it.
    m_edits[field]->setAccessibleDescription(why.isEmpty() ? QString::fromLatin1(kFields[field].description) : why);
}

void TerminalSettingsPanel::cmdSave_Click()
{
    TerminalSettingsTexts texts;
    for (int f = 0; f < TerminalSettingsTexts::FieldCount; ++f) {
        texts.text[f] = m_edits[f]->text();
        checkField(f);
    }
    const Result<> saved = texts.save(m_runtime.store());
    if (!saved.ok()) {
        lblSaved->setText(QStringLiteral("Not saved: %1").arg(saved.error()));
        focusFirstProblem();
        return;
    }
    const Result<> started = m_runtime.start();
    const QString message = started.ok()
                                ? QStringLiteral("Saved; the terminal runs with these settings.")
                                : QStringLiteral("Saved, but the terminal cannot start: %1").arg(started.error());
    Form_Load();
    lblSaved->setText(message);
    emit applied(started.ok(), started.error());
}

} // namespace tolvan
