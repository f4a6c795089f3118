#pragma once
// TIDE: the source editor of the main window, built on QScintilla. The document is UTF-8 with CR LF
// line ends, so every selection position is a byte offset in the whole text and each line break
// counts two. Virtual space lets the caret stand beyond the end of a line.

#include <Qsci/qsciscintilla.h>

#include <QColor>
#include <QList>
#include <QPixmap>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

#include "asmtext/TFormat.h"
#include "editor/text_file.h"

namespace krvs::ide {

class AsmLexer;
class TDebugSupportPlugin;
class TDebugger;

class TIDE : public QsciScintilla {
  Q_OBJECT
 public:
  static inline const QColor kNavy{0, 0, 128};

  // The editor reports the names a text defines to `keywords` through `formatter` (which formats
  // with that database) and keeps its breakpoints in `debugger`; all three outlive it.
  TIDE(asmtext::TDB& keywords, asmtext::TFormat& formatter, TDebugger& debugger, QWidget* parent = nullptr);
  ~TIDE() override;

  asmtext::TDB& Keywords() const { return m_keywords; }
  TDebugger& Debugger() const { return m_debugger; }

  // Up-to-date flags and views (names as the rest of the IDE uses them).
  bool FCompiled = false;
  bool FLinked = false;
  // The source while a listing or map is shown, and what saving writes: document bytes, lines joined
  // by CR LF with no line break after the last.
  QByteArray FSourceCopy;
  bool FHasFile = false;
  bool FLocked = false;
  int FFormatLine = 0;
  QList<QPixmap> FMarkImages;
  int FView = 0;

  // Where settings and the current source path come from; the main window wires them to TSet.
  std::function<asmtext::FormatSettings()> formatSettings = [] { return asmtext::FormatSettings{}; };
  std::function<QString()> sourcePath = [] { return QString(); };

  // Document operations.
  void NewFile();
  // False with a message in *error when the file cannot be read; the text is then left as it was.
  bool LoadFromFile(const QString& path, QString* error = nullptr);
  // False with a message in *error when the file cannot be written; the old file stays intact.
  bool SaveToFile(const QString& path, QString* error = nullptr);
  // True when the file last loaded or saved at path was changed on disk by another program since.
  bool FileChangedOnDisk(const QString& path) const { return m_diskStamp.changedOnDisk(path); }
  // False when saving would not give back the loaded file's bytes (besides line ends): the caller
  // asks first. Saving, or AcceptByteChanges, makes it true again.
  bool SavesBytesExactly() const { return m_exact; }
  void AcceptByteChanges() { m_exact = true; }
  void SetView(int kind);
  void FormatAll();
  void FormatLeftLine(int newLine);
  void HighlightLine(int n, const QColor& background, const QColor& foreground);
  // Scrolls so that line n (1-based) stands in the middle of the view, as far as the text allows.
  void CentreLine(int n);
  void BeginLock();
  void EndLock();
  void DeleteForward();
  int FindText(const QString& pattern, int start1, int flags, int count) const;
  void GetCaretPos0(int* column, int* line) const;
  int GetSelLength() const;
  void SetSelLength(int n);
  int GetSelStart() const;
  void SetSelStart(int index);
  bool IsObjectCurrent() const { return !Modified() && FCompiled; }
  bool IsProgramCurrent() const { return !Modified() && FCompiled && FLinked; }
  void ColorOn();
  void ColorOff();
  bool ColorShown() const;
  void ClearText();
  void ToggleBreakpoint(int n);

  // The text as lines (0-based), each without its line break. An empty document has no lines.
  int LineCount() const;
  QString Line(int index) const;
  void PutLine(int index, const QString& text);
  QStringList Lines() const;
  // Replaces the whole text in one load; no lines-inserted or lines-deleted calls are made.
  void SetLines(const QStringList& lines);
  // The same with document bytes (lines joined by CR LF); every byte, a NUL included, goes in.
  void SetDocumentBytes(const QByteArray& bytes);
  // The whole document as bytes, lines joined by CR LF, no line break after the last.
  QByteArray DocumentBytes() const;
  QByteArray LineBytes(int index) const { return lineBytes(index); }
  void PutLineBytes(int index, const QByteArray& bytes);
  // Every line followed by CR LF, as UTF-8 bytes: the text that positions index.
  QByteArray WholeTextBytes() const;
  QString WholeText() const;
  QString SelText() const;
  void ReplaceSelection(const QString& text);

  // Caret in 1-based display columns (a CJK character is two wide) and lines.
  int CaretX() const;
  int CaretY() const;
  void SetCaretXY(int x, int y);

  bool Modified() const { return m_modified; }
  void SetModified(bool modified) { setModifiedFlag(modified); }
  bool CanUndo() const { return !isReadOnly() && isUndoAvailable(); }
  bool CanRedo() const { return !isReadOnly() && isRedoAvailable(); }
  bool InsertMode() const { return !overwriteMode(); }
  TextEncoding Encoding() const { return m_encoding; }
  void SetEncoding(TextEncoding e) { m_encoding = e; }

  void SetEditorFont(const QFont& font, const QColor& fontColor);
  void SetBackColor(const QColor& color);
  QColor SelectedBackground() const { return m_selBack; }
  QColor SelectedForeground() const { return m_selFore; }
  void SetSelectedColors(const QColor& background, const QColor& foreground);
  AsmLexer* Highlighter() const { return m_asmSyn; }

  // Lines-inserted and lines-deleted notifications reach the gutter plug-in while this is true.
  bool bulkReplacing() const { return m_bulk > 0; }

 signals:
  void OnChange();
  void OnCaretMove();
  void OnKeyUp(int key);
  // The modified flag changed (the window shows it in its caption).
  void ModifiedChanged(bool modified);

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  void paintEvent(QPaintEvent* e) override;

 private:
  friend class CaretNotifyBlock;
  void setupWidget();
  void setModifiedFlag(bool modified) {
    if (modified == m_modified) return;
    m_modified = modified;
    emit ModifiedChanged(modified);
  }
  void onModified(int position, int type, const char*, int, int linesAdded, int, int, int, int token, int);
  void onCaretMoved();
  void updateGutterWidth();
  void formatLines(std::vector<std::string>& lines);
  void replaceLinesAsOneStep(int first, int last, const QByteArray& bytes);
  void showTextStart();
  QByteArray lineBytes(int index) const;
  long positionOfColumn(int line0, int column0, int* virtualSpace) const;
  bool handleEnter(QKeyEvent* e);

  asmtext::TDB& m_keywords;
  asmtext::TFormat& m_formatter;
  TDebugger& m_debugger;
  AsmLexer* m_asmSyn = nullptr;
  TDebugSupportPlugin* m_plugin = nullptr;
  bool m_modified = false;
  int m_bulk = 0;
  // A container action of the undo history brackets a whole-text layout; undoing or redoing the
  // step meets it once before and once after the text change.
  static constexpr int kLayoutStepToken = 0x4B46;
  bool m_undoingBulk = false;  // between the two brackets while undoing or redoing a layout
  // The last text change was an undo or redo: the caret leaving a line it brought back does not lay
  // that line out again, or undoing F4 would redo part of it at once.
  bool m_textFromUndo = false;
  bool m_exact = true;
  DiskStamp m_diskStamp;
  int m_caretNotifyBlocked = 0;
  long m_lastCaretPos = -1;
  long m_lastAnchorPos = -1;
  TextEncoding m_encoding = TextEncoding::Gbk;
  QFont m_font;
  QColor m_fontColor = Qt::black;
  QColor m_backColor = Qt::white;
  QColor m_selBack = kNavy;
  QColor m_selFore = Qt::white;
  int m_gutterDigits = 0;
};

// Detaches the caret-move notification for the editor's own caret movements.
class CaretNotifyBlock {
 public:
  explicit CaretNotifyBlock(TIDE& ide) : m_ide(ide) { ++m_ide.m_caretNotifyBlocked; }
  ~CaretNotifyBlock() { --m_ide.m_caretNotifyBlocked; }
  CaretNotifyBlock(const CaretNotifyBlock&) = delete;
  CaretNotifyBlock& operator=(const CaretNotifyBlock&) = delete;

 private:
  TIDE& m_ide;
};

}  // namespace krvs::ide
