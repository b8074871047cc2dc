#include "ui/qt/widgets.h"

#include "ui/qt/x11_state.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPalette>
#include <QScreen>
#include <QTextLayout>
#include <QToolTip>
#include <QWindow>

#include <algorithm>

namespace vmkt {

QString lines(const std::string& s) {
    return qs(s).replace(QStringLiteral("\r\n"), "\n");
}

QColor fromColorRef(Colour c) {
    return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                  static_cast<int>((c >> 16) & 0xFF));
}

QColor faceColour() {
    return QApplication::palette().color(QPalette::Button);
}

// ---- typing filter ---------------------------------------------------------

bool typedTextAllowed(const QString& text) {
    for (const QChar c : text)
        if (c.isPrint() && !EditBox::acceptsTyped(ss(QString(c))))
            return false;
    return true;
}

bool TypingFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const auto chords = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
        if (!(key->modifiers() & chords) && !typedTextAllowed(key->text()))
            return true;
    } else if (event->type() == QEvent::InputMethod) {
        // Text composed with an input method is typed too.
        auto* im = static_cast<QInputMethodEvent*>(event);
        QString kept;
        for (const QChar c : im->commitString())
            if (typedTextAllowed(QString(c)))
                kept += c;
        if (kept != im->commitString())
            im->setCommitString(kept, im->replacementStart(), im->replacementLength());
    }
    return QObject::eventFilter(watched, event);
}

// ---- tooltips --------------------------------------------------------------

QString tooltipText(const QString& plain, int maxWidth) {
    // Broken into lines here, then escaped, so that no character of the tip
    // is taken for markup and no line grows past the limit.
    QStringList out;
    const QFont font = QToolTip::font();
    for (const QString& paragraph : plain.split('\n')) {
        QTextLayout layout(paragraph, font);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        bool any = false;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(maxWidth);
            QString piece = paragraph.mid(line.textStart(), line.textLength());
            while (!piece.isEmpty() && piece.back().isSpace())
                piece.chop(1); // the break between two lines
            out << piece.toHtmlEscaped();
            any = true;
        }
        layout.endLayout();
        if (!any)
            out << QString();
    }
    return QStringLiteral("<p style='white-space:pre'>") + out.join("<br>") + "</p>";
}

// ---- labels and frame ------------------------------------------------------

BarLabel::BarLabel(bool centred, QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
    setAlignment((centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter);
    setContentsMargins(1, 1, 1, 1);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, faceColour());
    p.setColor(QPalette::WindowText, Qt::black);
    setPalette(p);
}

void BarLabel::setTextColour(const QColor& c) {
    QPalette p = palette();
    p.setColor(QPalette::WindowText, c);
    setPalette(p);
}

namespace {

// The caption cut into runs of spaces, runs of digits and runs of other
// characters. Spaces are drawn by width; the others are laid out on their
// own, which changes nothing where they meet (digits and Chinese characters
// do not kern) and lets the numbers of the time left be laid out once.
QStringList runs(const QString& text) {
    const auto kind = [](QChar c) {
        return c == ' ' ? 0 : c.isDigit() ? 1 : 2;
    };
    QStringList out;
    for (const QChar c : text) {
        if (out.isEmpty() || kind(out.back().back()) != kind(c))
            out << QString(c);
        else
            out.back() += c;
    }
    return out;
}

int spaceWidth(const QFontMetrics& fm) {
    return std::max(fm.horizontalAdvance(' '), fm.horizontalAdvance(QChar(0x4E2D)) / 2);
}

} // namespace

const BarLabel::Run& BarLabel::run(const QString& text) {
    auto found = runs_.constFind(text);
    if (found != runs_.constEnd())
        return *found;
    // The numbers of a clock and the labels' few words stay well below
    // this; anything beyond starts the cache afresh rather than letting it
    // grow.
    if (runs_.size() >= 256)
        runs_.clear();
    Run r;
    r.text.setTextFormat(Qt::PlainText);
    r.text.setText(text);
    r.text.prepare(QTransform(), font());
    r.advance = qRound(r.text.size().width());
    return *runs_.insert(text, r);
}

void BarLabel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange)
        runs_.clear();
    QLabel::changeEvent(event);
}

void BarLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect inner = rect().adjusted(1, 1, -1, -1);
    const QFontMetrics fm(font());
    const int space = spaceWidth(fm);
    const QStringList pieces = runs(text());
    int x = inner.left();
    if (alignment() & Qt::AlignHCenter) {
        int width = 0;
        for (const QString& piece : pieces)
            width += piece.front() == ' ' ? piece.size() * space : run(piece).advance;
        x += (inner.width() - width) / 2;
    }
    const int top = inner.top() + (inner.height() - fm.height() + 1) / 2;
    painter.setClipRect(inner);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setFont(font());
    for (const QString& piece : pieces) {
        if (piece.front() == ' ') {
            x += piece.size() * space;
            continue;
        }
        const Run& r = run(piece);
        painter.drawStaticText(QPoint(x, top), r.text);
        x += r.advance;
    }
    painter.setClipping(false);
    painter.setPen(QPen(Qt::black, 0));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

// ---- drop-down lists -------------------------------------------------------

DropList::DropList(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
}

void DropList::showPopup() {
    QComboBox::showPopup();
    QWidget* list = view()->window();
    if (list == window())
        return;
    QPoint at = mapToGlobal(QPoint(0, height()));
    if (const QScreen* s = screen()) {
        const QRect area = s->geometry();
        if (at.y() + list->height() > area.bottom() + 1)
            at.setY(mapToGlobal(QPoint(0, 0)).y() - list->height());
    }
    list->move(at);
}

void DropList::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect r = rect();
    const bool enabled = isEnabled();
    painter.fillRect(r, enabled ? QColor(Qt::white) : faceColour());
    painter.setPen(QPen(QColor(122, 122, 122), 0));
    painter.drawRect(r.adjusted(0, 0, -1, -1));

    // The arrow button.
    const int arrowWidth = 15;
    const QRect arrow(r.right() - arrowWidth, r.top() + 1, arrowWidth, r.height() - 2);
    painter.fillRect(arrow, faceColour());
    painter.drawLine(arrow.topLeft(), arrow.bottomLeft());
    const QPoint c = arrow.center() + QPoint(1, 1);
    const QPolygon triangle({c + QPoint(-4, -2), c + QPoint(4, -2), c + QPoint(0, 2)});
    const QColor ink =
        enabled ? QColor(Qt::black) : palette().color(QPalette::Disabled, QPalette::WindowText);
    painter.setPen(ink);
    painter.setBrush(ink);
    painter.drawPolygon(triangle);

    // The selected item, highlighted while the box has the focus.
    const QRect field(r.left() + 2, r.top() + 2, arrow.left() - r.left() - 3, r.height() - 4);
    QColor text = ink;
    if (hasFocus() && enabled) {
        painter.fillRect(field, palette().color(QPalette::Active, QPalette::Highlight));
        text = palette().color(QPalette::Active, QPalette::HighlightedText);
    }
    painter.setClipRect(field);
    painter.setPen(text);
    painter.drawText(field.adjusted(1, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, currentText());
}

FrameBox::FrameBox(QWidget* parent) : QWidget(parent) {}

void FrameBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(QPen(QColor(128, 128, 128), 0));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

// ---- time fields -----------------------------------------------------------

FieldEdit::FieldEdit(QWidget* parent) : QLineEdit(parent) {
    setFrame(false);
    setAlignment(Qt::AlignCenter);
    setTextMargins(0, 0, 0, 0);
    setContentsMargins(0, 0, 0, 0);
    installEventFilter(new TypingFilter(this));
    QPalette p = palette();
    p.setColor(QPalette::Base, faceColour());
    p.setColor(QPalette::Text, Qt::black);
    // The selection is not shown while the field does not have the focus.
    p.setColor(QPalette::Inactive, QPalette::Highlight, faceColour());
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, Qt::black);
    setPalette(p);
}

void FieldEdit::setTextColour(const QColor& c) {
    QPalette p = palette();
    p.setColor(QPalette::Text, c);
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, c);
    setPalette(p);
}

void FieldEdit::mouseDoubleClickEvent(QMouseEvent* event) {
    QLineEdit::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && onDoubleClicked)
        onDoubleClicked();
}

// ---- flat buttons ----------------------------------------------------------

FlatButton::FlatButton(const Button& model, Colours colours, QWidget* parent)
    : QAbstractButton(parent), model_(model), colours_(colours) {
    setFocusPolicy(Qt::StrongFocus);
    // The pointer-over state is tracked also while another program is active.
    setAttribute(Qt::WA_Hover);
}

QColor FlatButton::captionColour() const {
    if (hovered_ || isDown())
        return colours_.hot;
    if (hasFocus())
        return colours_.focus;
    return colours_.normal;
}

bool FlatButton::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = qs(model_.tip());
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tooltipText(tip), this);
        return true;
    }
    return QAbstractButton::event(event);
}

void FlatButton::enterEvent(QEnterEvent* event) {
    QAbstractButton::enterEvent(event);
    hovered_ = true;
    update();
    if (onEntered)
        onEntered();
}

void FlatButton::leaveEvent(QEvent* event) {
    QAbstractButton::leaveEvent(event);
    hovered_ = false;
    update();
}

void FlatButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), faceColour());
    painter.setPen(captionColour());
    painter.setFont(font());
    // While pressed the caption moves one pixel right and one down.
    const QRect box = isDown() ? rect().translated(1, 1) : rect();
    painter.drawText(box, Qt::AlignCenter | Qt::TextWordWrap, qs(model_.caption()));
}

// ---- the strip -------------------------------------------------------------

BarWindow::BarWindow()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    // The buttons' tips show also while another program is active.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, faceColour());
    setPalette(p);
}

void BarWindow::closeEvent(QCloseEvent* event) {
    // The model decides; the window goes only when the model is destroyed.
    event->ignore();
    if (onCloseRequested)
        onCloseRequested();
}

void BarWindow::showEvent(QShowEvent* event) {
    // Sent before the window is mapped: the last moment to set the state the
    // window manager reads at map time.
    keepOutOfTaskbar(this);
    QWidget::showEvent(event);
}

void BarWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (onMoved)
        onMoved(pos());
}

void BarWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    if (windowHandle() && windowHandle()->startSystemMove())
        return;
    // No system move: the window follows the pointer itself.
    dragging_ = true;
    dragOffset_ = event->globalPosition().toPoint() - pos();
}

void BarWindow::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_)
        move(event->globalPosition().toPoint() - dragOffset_);
    else
        QWidget::mouseMoveEvent(event);
}

void BarWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        dragging_ = false;
    else if (event->button() == Qt::RightButton && onRightReleased)
        onRightReleased();
    QWidget::mouseReleaseEvent(event);
}

} // namespace vmkt
