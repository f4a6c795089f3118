#include "editor/asm_lexer.h"

#include <Qsci/qsciscintilla.h>

namespace krvs::ide {

using asmtext::TokenKind;

AsmLexer::AsmLexer(QObject* parent) : QsciLexerCustom(parent) {
  for (int s = 0; s < kStyleCount; ++s) {
    if (const asmtext::TokenAttribute* a = asmtext::attributeOf(static_cast<TokenKind>(s))) {
      m_italic[s] = a->italic;
      m_bold[s] = a->bold;
    }
  }
}

const char* AsmLexer::language() const { return "x86 Assembly"; }

QString AsmLexer::description(int style) const {
  if (style < 0 || style >= kStyleCount) return {};
  const asmtext::TokenAttribute* a = asmtext::attributeOf(static_cast<TokenKind>(style));
  // End of line has no attribute, yet Scintilla wants every used style to have a name.
  return a ? QString::fromUtf8(a->name.data(), qsizetype(a->name.size())) : QStringLiteral("End of line");
}

QColor AsmLexer::defaultColor(int style) const {
  if (style >= 0 && style < kStyleCount && m_colors[style].isValid()) return m_colors[style];
  return m_fontColor;
}

QFont AsmLexer::defaultFont(int style) const {
  QFont f = m_font;
  if (style >= 0 && style < kStyleCount) {
    f.setItalic(m_italic[style]);
    f.setBold(m_bold[style]);
  }
  return f;
}

QColor AsmLexer::defaultPaper(int) const { return m_paper; }

void AsmLexer::setBaseFont(const QFont& font, const QColor& fontColor, const QColor& paper) {
  m_font = font;
  m_fontColor = fontColor;
  m_paper = paper;
  refreshStyles();
}

void AsmLexer::setAttributeColor(TokenKind kind, const QColor& color) {
  m_colors[int(kind)] = color;
  refreshStyles();
}

void AsmLexer::setAttributeStyle(TokenKind kind, bool italic, bool bold) {
  m_italic[int(kind)] = italic;
  m_bold[int(kind)] = bold;
  refreshStyles();
}

void AsmLexer::refreshStyles() {
  setDefaultFont(m_font);
  setDefaultColor(m_fontColor);
  setDefaultPaper(m_paper);
  for (int s = 0; s < kStyleCount; ++s) {
    setFont(defaultFont(s), s);
    setColor(defaultColor(s), s);
    setPaper(m_paper, s);
  }
}

void AsmLexer::styleText(int start, int end) {
  QsciScintilla* ed = editor();
  if (!ed || end <= start) return;
  // Lines are scanned on their own, so restyling always starts at a line's beginning.
  const long firstLine = ed->SendScintilla(QsciScintilla::SCI_LINEFROMPOSITION, start);
  const long lastLine = ed->SendScintilla(QsciScintilla::SCI_LINEFROMPOSITION, end - 1);
  const int from = int(ed->SendScintilla(QsciScintilla::SCI_POSITIONFROMLINE, firstLine));
  const int to = int(ed->SendScintilla(QsciScintilla::SCI_GETLINEENDPOSITION, lastLine));
  QByteArray buf(to - from + 1, '\0');
  ed->SendScintilla(QsciScintilla::SCI_GETTEXTRANGE, from, to, buf.data());
  buf.resize(to - from);

  startStyling(from);
  int lineStart = 0;
  for (long line = firstLine; line <= lastLine; ++line) {
    const int docStart = int(ed->SendScintilla(QsciScintilla::SCI_POSITIONFROMLINE, line));
    const int docEnd = int(ed->SendScintilla(QsciScintilla::SCI_GETLINEENDPOSITION, line));
    lineStart = docStart - from;
    styleLine(buf.mid(lineStart, docEnd - docStart), docStart);
    // The line break itself is painted as space.
    const long nextStart = line < lastLine
                               ? long(ed->SendScintilla(QsciScintilla::SCI_POSITIONFROMLINE, line + 1))
                               : long(docEnd);
    if (nextStart > docEnd) setStyling(int(nextStart - docEnd), int(TokenKind::Space));
  }
}

void AsmLexer::styleLine(const QByteArray& line, int) {
  m_scanner.ScanLine(std::string_view(line.constData(), size_t(line.size())),
                     [this](const asmtext::Token& t) { setStyling(int(t.length), int(t.kind)); });
}

}  // namespace krvs::ide
