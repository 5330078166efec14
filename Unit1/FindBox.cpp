#include "Unit1/FindBox.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TFindBox::TFindBox(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QString::fromUtf8("検索"));
    setModal(false);
    setSizeGripEnabled(false);

    auto* label = new QLabel(QString::fromUtf8("検索する文字列:"), this);
    Text = new QLineEdit(this);
    Text->setObjectName("FindText");
    Text->setMinimumWidth(240);
    label->setBuddy(Text);
    Previous = new QPushButton(QString::fromUtf8("前を検索"), this);
    Previous->setObjectName("FindPrevious");
    Previous->setAutoDefault(false);
    Next = new QPushButton(QString::fromUtf8("次を検索"), this);
    Next->setObjectName("FindNext");
    Next->setAutoDefault(false);
    Status = new QLabel(this);
    Status->setObjectName("FindStatus");

    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(Text, 1);
    row->addWidget(Previous);
    row->addWidget(Next);
    auto* column = new QVBoxLayout(this);
    column->addLayout(row);
    column->addWidget(Status);

    auto ask = [this](bool backward) {
        if (!Text->text().isEmpty()) emit findRequested(Text->text(), backward);
    };
    connect(Previous, &QPushButton::clicked, this, [ask] { ask(true); });
    connect(Next, &QPushButton::clicked, this, [ask] { ask(false); });
    auto enable = [this] {
        Previous->setEnabled(!Text->text().isEmpty());
        Next->setEnabled(!Text->text().isEmpty());
        Status->clear();
    };
    connect(Text, &QLineEdit::textChanged, this, enable);
    enable();
}

void TFindBox::Start(const QString& text)
{
    if (!text.isEmpty()) Text->setText(text);
    Text->selectAll();
    show();
    raise();
    activateWindow();
    Text->setFocus(Qt::ShortcutFocusReason);
}

void TFindBox::Tell(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Found: Status->clear(); break;
    case Outcome::WrappedToStart: Status->setText(QString::fromUtf8("末尾まで検索したので、先頭から続けました。")); break;
    case Outcome::WrappedToEnd: Status->setText(QString::fromUtf8("先頭まで検索したので、末尾から続けました。")); break;
    case Outcome::NotFound: Status->setText(QString::fromUtf8("見つかりませんでした。")); break;
    }
}

void TFindBox::keyPressEvent(QKeyEvent* event)
{
    // Return looks further down, Shift+Return further up; F3 and Shift+F3 too.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter || event->matches(QKeySequence::FindNext) || event->matches(QKeySequence::FindPrevious)) {
        const bool backward = event->matches(QKeySequence::FindPrevious) || (enter && (event->modifiers() & Qt::ShiftModifier));
        if (!Text->text().isEmpty()) emit findRequested(Text->text(), backward);
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
