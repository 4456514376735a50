#include "ToolShots.h"

#include <QApplication>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QStyleFactory>
#include <QTextBlock>
#include <QToolButton>

namespace demo {

void useDarkPalette(QApplication& app) {
    app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QPalette p;
    const QColor window(0x2B, 0x2D, 0x30);
    const QColor base(0x1E, 0x1F, 0x22);
    const QColor text(0xDF, 0xE1, 0xE5);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::ToolTipBase, window);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, QColor(0x8C, 0x8F, 0x94));
    p.setColor(QPalette::Highlight, QColor(0x2F, 0x65, 0xCA));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(0x58, 0x9D, 0xF6));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0x6F, 0x73, 0x7A));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x6F, 0x73, 0x7A));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x6F, 0x73, 0x7A));
    app.setPalette(p);
}

void openFindReplace(QWidget* editor, const QString& find, const QString& replace) {
    QObject* tools = editor->findChild<QObject*>(QStringLiteral("EDITOR_TOOLS"));
    if (!tools)
        return;
    QMetaObject::invokeMethod(tools, "openFind", Q_ARG(bool, true));
    if (auto* field = editor->findChild<QLineEdit*>(QStringLiteral("TXT_FIND")))
        field->setText(find);
    if (auto* field = editor->findChild<QLineEdit*>(QStringLiteral("TXT_REPLACE")))
        field->setText(replace);
    if (auto* next = editor->findChild<QToolButton*>(QStringLiteral("BTN_FINDNEXT")))
        next->click();
}

void openGoToLine(QWidget* editor) {
    if (QObject* tools = editor->findChild<QObject*>(QStringLiteral("EDITOR_TOOLS")))
        QMetaObject::invokeMethod(tools, "openGoToLine");
}

void commentLines(QWidget* editor, int first, int last) {
    auto* box = editor->findChild<QPlainTextEdit*>(QStringLiteral("TXT_FORMULA"));
    QObject* tools = editor->findChild<QObject*>(QStringLiteral("EDITOR_TOOLS"));
    if (!box || !tools)
        return;
    const QTextBlock from = box->document()->findBlockByNumber(first - 1);
    const QTextBlock to = box->document()->findBlockByNumber(last - 1);
    if (!from.isValid() || !to.isValid())
        return;
    QTextCursor cursor(from);
    cursor.setPosition(to.position() + to.length() - 1, QTextCursor::KeepAnchor);
    box->setTextCursor(cursor);
    QMetaObject::invokeMethod(tools, "toggleComment");
}

} // namespace demo
