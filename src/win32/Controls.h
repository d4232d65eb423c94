#pragma once
// Small wrappers over the Windows controls the window uses: each holds the control's handle and
// offers a few methods over its messages. TWindow is the base of the program's own windows: it
// registers a class, creates the window and hands its messages to a member function.

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "win32/Win32Base.h"

namespace corvane::win32 {

// A top-level or child window of the program's own, whose messages go to HandleMessage.
class TWindow {
 public:
  TWindow() = default;
  virtual ~TWindow();
  TWindow(const TWindow&) = delete;
  TWindow& operator=(const TWindow&) = delete;

  HWND Handle() const { return FHandle; }

 protected:
  // Registers ClassName once (with the program's icon) and creates the window.
  bool CreateWindowOf(const wchar_t* ClassName, DWORD ExStyle, DWORD Style, const std::wstring& Title, int X, int Y,
                      int Width, int Height, HWND Parent, HBRUSH Background = nullptr);
  virtual LRESULT HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam);
  // Called once the window is gone (WM_NCDESTROY).
  virtual void Destroyed() {}

  HWND FHandle = nullptr;

 private:
  static LRESULT CALLBACK WindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam);
};

// Routes a control's messages through Handler before the control's own procedure; the handler
// answers true when it handled the message itself. One handler per control.
using TSubclassHandler = std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT&)>;
void Subclass(HWND Control, TSubclassHandler* Handler);
void RemoveSubclass(HWND Control, TSubclassHandler* Handler);
// The control's own procedure, for a handler that lets it handle a message first.
LRESULT ControlProc(HWND Control, UINT Message, WPARAM WParam, LPARAM LParam);

class TListView {
 public:
  // A report list without its own rows (the owner answers LVN_GETDISPINFO).
  bool Create(HWND Parent, int Id, DWORD ExtraStyle, DWORD ExtendedStyle);
  HWND Handle() const { return FHandle; }
  void AddColumn(const std::wstring& Header, int Width);
  int ColumnWidth(int Column) const;
  void SetColumnWidth(int Column, int Width);
  int ColumnCount() const;
  // Sets the row count without scrolling or losing the selection.
  void SetRowCount(int Rows);
  int RowCount() const;
  // The selected row, or -1.
  int SelectedRow() const;
  // Selects Row and makes it the focused row (-1: none).
  void SelectRow(int Row);
  // Rows that fit in full in the list's height.
  int FullyVisibleRows() const;
  void RedrawRows(int First, int Last);
  // Moves the painted rows up by Rows (down when negative) and marks the rows it uncovered for
  // painting: for rows that still hold what they showed, Rows further on.
  void ScrollRows(int Rows);

 private:
  HWND FHandle = nullptr;
};

class TTreeView {
 public:
  bool Create(HWND Parent, int Id);
  HWND Handle() const { return FHandle; }
  void Clear();
  // Adds a node as the last child of Parent (TVI_ROOT for a top-level node) carrying Data. Its
  // text is asked of the parent (TVN_GETDISPINFO) each time it is drawn.
  HTREEITEM Add(HTREEITEM Parent, LPARAM Data);
  void Expand(HTREEITEM Item);
  // The data of the selected node, or -1.
  LPARAM SelectedData() const;

 private:
  HWND FHandle = nullptr;
};

// A read-only rich edit (the Msftedit library, loaded when the first one is made).
class TRichEdit {
 public:
  bool Create(HWND Parent, int Id);
  HWND Handle() const { return FHandle; }
  void SetFont(const wchar_t* Face, int Points);
  // Replaces the text; every character in the plain look.
  void SetText(const std::u16string& Text);
  // A run of characters in colours of its own.
  struct TMark {
    int64_t Start;
    int64_t Length;
    COLORREF Text;
    COLORREF Background;
    bool Bold;
  };
  // Replaces the text and colours the runs (a later run over an earlier one) in one go: one
  // document in the control's own format, laid out once, instead of a text and a formatting
  // pass per run. Line breaks are '\r'.
  void SetMarkedText(std::u16string_view Text, const std::vector<TMark>& Marks);
  void Clear() { SetText(u""); }
  // The height of one line in the pane's font.
  int LineHeight() const;

 private:
  HWND FHandle = nullptr;
  std::wstring FFace = L"Courier New";
  int FPoints = 10;
};

// A stand-alone scroll bar.
class TScrollBar {
 public:
  bool Create(HWND Parent, int Id, bool Vertical);
  HWND Handle() const { return FHandle; }
  void SetRange(int Min, int Max, int Page = 0);
  int Max() const;
  int Position() const;
  void SetPosition(int Position);
  // The same without painting the bar at once: it is painted with the rest of the window.
  void MovePosition(int Position);
  // Where the thumb is being dragged to (the full 32 bits).
  int TrackPosition() const;

 private:
  SCROLLINFO Info(UINT Mask) const;
  void StorePosition(int Position, BOOL Redraw);
  // The thumb's first and last pixel along the bar; {-1, -1} when they cannot be had.
  std::pair<int, int> ThumbPixels() const;

  HWND FHandle = nullptr;
};

class TStatusBar {
 public:
  bool Create(HWND Parent, int Id);
  HWND Handle() const { return FHandle; }
  // Part 0 takes what the others leave; each further part is as wide as its text. Only what
  // changed since the last call is measured and set.
  void SetParts(const std::vector<std::u16string>& Texts);
  int Height() const;
  // After the parent's size (or font) changed: the bar's size, and its parts measured and placed
  // again.
  void Resize();

 private:
  // Sets the parts' right edges from their widths when they changed; true when they did.
  bool PlaceParts();

  HWND FHandle = nullptr;
  std::vector<std::u16string> FTexts;  // as last set
  std::vector<int> FWidths;            // each part's width; part 0 takes what is left
  std::vector<int> FEdges;             // the right edges last set
};

// Puts Text on the clipboard as Unicode text, replacing what it held.
bool CopyTextToClipboard(HWND Owner, const std::u16string& Text);

}  // namespace corvane::win32
