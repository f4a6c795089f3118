#pragma once
// TSynAsmSyn adapter: a QScintilla container lexer that styles each line with the scanner's tokens.
// Style numbers are the token kinds, so a style's attribute is that kind's attribute.

#include <Qsci/qscilexercustom.h>

#include <QColor>
#include <QFont>

#include "asmtext/TSynAsmSyn.h"

namespace krvs::ide {

class AsmLexer : public QsciLexerCustom {
  Q_OBJECT
 public:
  static constexpr int kStyleCount = 8;

  explicit AsmLexer(QObject* parent = nullptr);

  const char* language() const override;
  QString description(int style) const override;
  void styleText(int start, int end) override;

  QColor defaultColor(int style) const override;
  QFont defaultFont(int style) const override;
  QColor defaultPaper(int style) const override;

  // The editor's font and colours; every style takes them, then its attribute's own changes.
  void setBaseFont(const QFont& font, const QColor& fontColor, const QColor& paper);
  // Foreground of one attribute by token kind; an invalid colour means the font colour.
  void setAttributeColor(asmtext::TokenKind kind, const QColor& color);
  // Italic/bold of one attribute by token kind.
  void setAttributeStyle(asmtext::TokenKind kind, bool italic, bool bold);

 private:
  void refreshStyles();
  void styleLine(const QByteArray& line, int lineStart);

  asmtext::TSynAsmSyn m_scanner;
  QFont m_font;
  QColor m_fontColor = Qt::black;
  QColor m_paper = Qt::white;
  QColor m_colors[kStyleCount];
  bool m_italic[kStyleCount] = {};
  bool m_bold[kStyleCount] = {};
};

}  // namespace krvs::ide
