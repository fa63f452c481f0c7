#include "shell/TextBoxes.h"

#include "shell/Screen.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <type_traits>

namespace tolvan {

namespace {

template <class T>
T* makeOn(QWidget* screen, const QString& name)
{
    T* w = new T(screen);
    w->setObjectName(name);
    return w;
}

QLineEdit* lineBox(QWidget* screen, const QString& name, const QString& prompt)
{
    auto* box = makeOn<QLineEdit>(screen, name);
    if (!prompt.isNull()) {
        box->setText(prompt);
    }
    return box;
}

template <class MessageBox>
void makeBoxes(QWidget* screen, const MailPrompts& prompts, const MailBoxes<MessageBox>& boxes)
{
    boxes.heading = makeOn<QLabel>(screen, QStringLiteral("Label1"));
    boxes.heading->setText(QStringLiteral("Packet Mail Form"));
    Screen::makeHeading(boxes.heading, 8);
    boxes.heading->setAlignment(Qt::AlignCenter);
    boxes.to = lineBox(screen, QStringLiteral("Text3"), prompts.to);
    boxes.from = lineBox(screen, QStringLiteral("Text4"), prompts.from);
    boxes.subject = lineBox(screen, QStringLiteral("Text2"), prompts.subject);
    if constexpr (std::is_same_v<MessageBox, QPlainTextEdit>) {
        boxes.message = makeOn<QPlainTextEdit>(screen, QStringLiteral("Text1"));
        if (!prompts.message.isNull()) {
            setBoxText(boxes.message, prompts.message);
        }
        boxes.message->setTabChangesFocus(true);
    } else {
        boxes.message = lineBox(screen, QStringLiteral("Text1"), prompts.message);
    }
    QWidget::setTabOrder(boxes.to, boxes.from);
    QWidget::setTabOrder(boxes.from, boxes.subject);
    QWidget::setTabOrder(boxes.subject, boxes.message);
}

} // namespace

QString boxText(const QPlainTextEdit* box)
{
    QString text = box->toPlainText();
    text.replace(u'\n', QStringLiteral("\r\n"));
    return text;
}

void setBoxText(QPlainTextEdit* box, const QString& text)
{
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    plain.replace(u'\r', u'\n');
    box->setPlainText(plain);
}

void MakeMailBoxes(QWidget* screen, const MailPrompts& prompts, const MailBoxes<QPlainTextEdit>& into)
{
    makeBoxes(screen, prompts, into);
}

void MakeMailBoxes(QWidget* screen, const MailPrompts& prompts, const MailBoxes<QLineEdit>& into)
{
    makeBoxes(screen, prompts, into);
}

QGridLayout* MailBoxGrid(QLineEdit* to, QLineEdit* from, QLineEdit* subject)
{
    auto* grid = new QGridLayout;
    grid->addWidget(to, 0, 0);
    grid->addWidget(from, 0, 1);
    grid->addWidget(subject, 1, 0, 1, 2);
    return grid;
}

} // namespace tolvan
