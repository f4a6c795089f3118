#include "editor/tide.h"

#include <QPainter>
#include <QPaintEvent>

#include "debugger/tdebugger.h"
#include "editor/asm_lexer.h"
#include "editor/debug_plugin.h"
#include "editor/mark_images.h"

namespace krvs::ide {

namespace {
constexpr int kGutterLeftOffset = 16;  // room for the mark pictures left of the numbers
constexpr int kGutterRightOffset = 2;
constexpr int kMinGutterDigits = 4;
constexpr int kTabWidth = 8;
}  // namespace

TIDE::TIDE(asmtext::TDB& keywords, asmtext::TFormat& formatter, TDebugger& debugger, QWidget* parent)
    : QsciScintilla(parent), m_keywords(keywords), m_formatter(formatter), m_debugger(debugger) {
  setupWidget();
  m_asmSyn = new AsmLexer(this);
  m_asmSyn->setAttributeStyle(asmtext::TokenKind::ReservedWord, false, false);
  m_asmSyn->setAttributeColor(asmtext::TokenKind::Comment, QColor(0, 0, 132));
  m_asmSyn->setAttributeColor(asmtext::TokenKind::Number, QColor(0, 132, 0));
  SetEditorFont(QFont(QStringLiteral("Courier New"), 10), m_fontColor);
  ColorOn();
  m_plugin = new TDebugSupportPlugin(*this);
  FMarkImages = makeMarkImages();
}

TIDE::~TIDE() {
  // The lexer must go before the widget it styles.
  setLexer(nullptr);
  delete m_plugin;
}

void TIDE::setupWidget() {
  setUtf8(true);
  setEolMode(EolWindows);
  SendScintilla(SCI_SETPASTECONVERTENDINGS, 1);
  SendScintilla(SCI_SETVIRTUALSPACEOPTIONS, SCVS_RECTANGULARSELECTION | SCVS_USERACCESSIBLE);
  setTabWidth(kTabWidth);
  setIndentationsUseTabs(false);
  setTabIndents(true);
  setBackspaceUnindents(true);
  setAutoIndent(false);
  setCaretLineVisible(false);
  setEdgeMode(EdgeNone);
  setWrapMode(WrapNone);
  setFolding(NoFoldStyle);
  SendScintilla(SCI_SETHSCROLLBAR, 1);
  SendScintilla(SCI_SETUNDOCOLLECTION, 1);
  // One gutter: a number margin whose left part holds the mark pictures.
  setMarginType(0, NumberMargin);
  setMarginSensitivity(0, true);
  setMarginWidth(1, 0);
  setMarginWidth(2, 0);
  setMarginsForegroundColor(QColor(0, 0, 0));
  SetSelectedColors(kNavy, Qt::white);
  // The gutter is the window colour a shade darker, fixed when the editor is made.
  const QColor window = palette().color(QPalette::Base);
  const QColor gutter(std::max(0, window.red() - 5), std::max(0, window.green() - 5),
                      std::max(0, window.blue() - 5));
  setMarginsBackgroundColor(gutter);
  SendScintilla(SCI_SETCURSOR, static_cast<unsigned long>(SC_CURSORNORMAL));

  connect(this, &QsciScintillaBase::SCN_MODIFIED, this, &TIDE::onModified);
  connect(this, &QsciScintilla::cursorPositionChanged, this, [this](int, int) { onCaretMoved(); });
  connect(this, &QsciScintilla::selectionChanged, this, &TIDE::onCaretMoved);
  connect(this, &QsciScintilla::textChanged, this, &TIDE::OnChange);
  connect(this, &QsciScintilla::linesChanged, this, &TIDE::updateGutterWidth);
  connect(this, &QsciScintilla::marginClicked, this,
          [this](int, int line, Qt::KeyboardModifiers) { ToggleBreakpoint(line + 1); });
  updateGutterWidth();
}

void TIDE::updateGutterWidth() {
  int digits = kMinGutterDigits;
  for (int n = LineCount(); n >= 10000; n /= 10) ++digits;
  if (digits == m_gutterDigits) return;
  m_gutterDigits = digits;
  const int digitWidth = int(SendScintilla(SCI_TEXTWIDTH, STYLE_LINENUMBER, "9"));
  setMarginWidth(0, kGutterLeftOffset + digits * digitWidth + kGutterRightOffset);
}

void TIDE::SetEditorFont(const QFont& font, const QColor& fontColor) {
  m_font = font;
  m_fontColor = fontColor;
  setFont(font);
  setColor(fontColor);
  setMarginsFont(font);
  m_asmSyn->setBaseFont(font, fontColor, m_backColor);
  m_asmSyn->setAttributeColor(asmtext::TokenKind::ReservedWord, fontColor);
  m_gutterDigits = 0;
  updateGutterWidth();
}

void TIDE::SetBackColor(const QColor& color) {
  m_backColor = color;
  setPaper(color);
  m_asmSyn->setBaseFont(m_font, m_fontColor, color);
}

void TIDE::SetSelectedColors(const QColor& background, const QColor& foreground) {
  m_selBack = background;
  m_selFore = foreground;
  setSelectionBackgroundColor(background);
  setSelectionForegroundColor(foreground);
}

void TIDE::ColorOn() {
  if (lexer() == m_asmSyn) return;
  setLexer(m_asmSyn);
  // Attaching a lexer resets the margin and selection looks.
  SetSelectedColors(m_selBack, m_selFore);
  setMarginsFont(m_font);
}

void TIDE::ColorOff() {
  if (lexer() != m_asmSyn) return;
  setLexer(nullptr);
  setFont(m_font);
  setColor(m_fontColor);
  setPaper(m_backColor);
  SendScintilla(SCI_STYLECLEARALL);
  SetSelectedColors(m_selBack, m_selFore);
  setMarginsFont(m_font);
}

bool TIDE::ColorShown() const { return lexer() == m_asmSyn; }

void TIDE::onModified(int position, int type, const char*, int, int linesAdded, int, int, int, int token, int) {
  if ((type & SC_MOD_CONTAINER) && token == kLayoutStepToken) {
    m_undoingBulk = !m_undoingBulk;
    return;
  }
  if (!(type & (SC_MOD_INSERTTEXT | SC_MOD_DELETETEXT))) return;
  m_textFromUndo = (type & (SC_PERFORMED_UNDO | SC_PERFORMED_REDO)) != 0;
  setModifiedFlag(true);
  if (linesAdded == 0 || m_bulk > 0 || m_undoingBulk) return;
  // A change that starts at a line's beginning moves that line's own breakpoint as well.
  const long line0 = SendScintilla(SCI_LINEFROMPOSITION, position);
  const bool atLineStart = SendScintilla(SCI_POSITIONFROMLINE, line0) == position;
  const int first = int(line0) + (atLineStart ? 1 : 2);
  if (linesAdded > 0)
    m_plugin->LinesInsertedAt(first, linesAdded);
  else
    m_plugin->LinesDeletedAt(first, -linesAdded);
}

void TIDE::onCaretMoved() {
  const long caret = SendScintilla(SCI_GETCURRENTPOS);
  const long anchor = SendScintilla(SCI_GETANCHOR);
  if (caret == m_lastCaretPos && anchor == m_lastAnchorPos) return;
  EndLock();
  // Movements made while detached are not remembered, so the next reported one compares with what
  // the main window last saw.
  if (m_caretNotifyBlocked > 0) return;
  m_lastCaretPos = caret;
  m_lastAnchorPos = anchor;
  emit OnCaretMove();
}

void TIDE::paintEvent(QPaintEvent* e) {
  QsciScintilla::paintEvent(e);
  const int lineHeight = int(SendScintilla(SCI_TEXTHEIGHT, 0));
  if (lineHeight <= 0) return;
  const int top = int(SendScintilla(SCI_GETFIRSTVISIBLELINE));
  const int firstRow = top + e->rect().top() / lineHeight;
  const int lastRow = top + e->rect().bottom() / lineHeight;
  QPainter painter(viewport());
  m_plugin->PaintLineMarks(painter, firstRow, lastRow);
}

void TIDE::ToggleBreakpoint(int n) {
  if (n >= 1 && n <= LineCount()) {
    const int mark = m_debugger.GetLineMark(n);
    m_debugger.SetBreakpoint(n, (mark == lmNone || mark == lmCurrent) ? 1 : 0);
  }
  viewport()->update();
}

}  // namespace krvs::ide
