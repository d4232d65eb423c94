#include "win32/Controls.h"

#include <richedit.h>

#include <algorithm>
#include <unordered_map>

#include "win32/resource.h"

namespace corvane::win32 {

// ------------------------------------------------------------------------------------------------
// TWindow

TWindow::~TWindow() {
  if (FHandle) {
    SetWindowLongPtrW(FHandle, GWLP_USERDATA, 0);
    DestroyWindow(FHandle);
  }
}

bool TWindow::CreateWindowOf(const wchar_t* ClassName, DWORD ExStyle, DWORD Style, const std::wstring& Title, int X,
                             int Y, int Width, int Height, HWND Parent, HBRUSH Background) {
  const HINSTANCE Instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW Class{};
  Class.cbSize = sizeof Class;
  if (!GetClassInfoExW(Instance, ClassName, &Class)) {
    Class.cbSize = sizeof Class;
    Class.style = CS_DBLCLKS;
    Class.lpfnWndProc = WindowProc;
    Class.hInstance = Instance;
    Class.hIcon = LoadIconW(Instance, MAKEINTRESOURCEW(IDI_CORVANE));
    Class.hIconSm = static_cast<HICON>(LoadImageW(Instance, MAKEINTRESOURCEW(IDI_CORVANE), IMAGE_ICON,
                                                  GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    Class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    Class.hbrBackground = Background ? Background : reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    Class.lpszClassName = ClassName;
    if (!RegisterClassExW(&Class)) return false;
  }
  FHandle = CreateWindowExW(ExStyle, ClassName, Title.c_str(), Style, X, Y, Width, Height, Parent, nullptr, Instance,
                            this);
  return FHandle != nullptr;
}

LRESULT TWindow::HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) {
  return DefWindowProcW(FHandle, Message, WParam, LParam);
}

LRESULT CALLBACK TWindow::WindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
  if (Message == WM_NCCREATE) {
    auto* Self = static_cast<TWindow*>(reinterpret_cast<CREATESTRUCTW*>(LParam)->lpCreateParams);
    Self->FHandle = Window;
    SetWindowLongPtrW(Window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(Self));
  }
  auto* Self = reinterpret_cast<TWindow*>(GetWindowLongPtrW(Window, GWLP_USERDATA));
  if (!Self) return DefWindowProcW(Window, Message, WParam, LParam);
  if (Message == WM_NCDESTROY) {
    const LRESULT Result = Self->HandleMessage(Message, WParam, LParam);
    SetWindowLongPtrW(Window, GWLP_USERDATA, 0);
    Self->FHandle = nullptr;
    Self->Destroyed();
    return Result;
  }
  return Self->HandleMessage(Message, WParam, LParam);
}

// ------------------------------------------------------------------------------------------------
// Subclassing

// The window procedure is replaced, and the control's own one kept in a table of this process.
// (comctl32's SetWindowSubclass looks its chain up in a window property on every message, a
// round trip to the window server under wine, hundreds of them in each repaint of the list.)

namespace {

struct TSubclassLink {
  WNDPROC Original = nullptr;
  TSubclassHandler* Handler = nullptr;
};

// Only the thread of the windows uses it.
std::unordered_map<HWND, TSubclassLink>& SubclassLinks() {
  static std::unordered_map<HWND, TSubclassLink> Links;
  return Links;
}

LRESULT CALLBACK SubclassProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
  auto& Links = SubclassLinks();
  const auto Found = Links.find(Window);
  if (Found == Links.end()) return DefWindowProcW(Window, Message, WParam, LParam);
  const TSubclassLink Link = Found->second;
  if (Message == WM_NCDESTROY) {
    // The control's last message goes to its own procedure, and the link goes with the window.
    SetWindowLongPtrW(Window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Link.Original));
    Links.erase(Found);
    return CallWindowProcW(Link.Original, Window, Message, WParam, LParam);
  }
  LRESULT Result = 0;
  if (Link.Handler && *Link.Handler && (*Link.Handler)(Window, Message, WParam, LParam, Result)) return Result;
  return CallWindowProcW(Link.Original, Window, Message, WParam, LParam);
}

}  // namespace

void Subclass(HWND Control, TSubclassHandler* Handler) {
  auto& Links = SubclassLinks();
  if (const auto Found = Links.find(Control); Found != Links.end()) {
    Found->second.Handler = Handler;
    return;
  }
  const auto Original = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(Control, GWLP_WNDPROC));
  if (!Original) return;
  Links[Control] = {Original, Handler};
  SetWindowLongPtrW(Control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassProc));
}

void RemoveSubclass(HWND Control, TSubclassHandler* Handler) {
  auto& Links = SubclassLinks();
  const auto Found = Links.find(Control);
  if (Found == Links.end() || Found->second.Handler != Handler) return;
  if (GetWindowLongPtrW(Control, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&SubclassProc)) {
    SetWindowLongPtrW(Control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Found->second.Original));
    Links.erase(Found);
  } else {
    // Another procedure was put in front of ours since: ours stays in the chain, passing all on.
    Found->second.Handler = nullptr;
  }
}

LRESULT ControlProc(HWND Control, UINT Message, WPARAM WParam, LPARAM LParam) {
  const auto& Links = SubclassLinks();
  const auto Found = Links.find(Control);
  if (Found == Links.end()) return DefWindowProcW(Control, Message, WParam, LParam);
  return CallWindowProcW(Found->second.Original, Control, Message, WParam, LParam);
}

// ------------------------------------------------------------------------------------------------
// TListView

bool TListView::Create(HWND Parent, int Id, DWORD ExtraStyle, DWORD ExtendedStyle) {
  // The list clips its header: a repaint of the rows leaves the header alone.
  constexpr DWORD Style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPCHILDREN | LVS_REPORT | LVS_OWNERDATA;
  FHandle = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", Style | ExtraStyle, 0, 0, 0, 0, Parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id)), GetModuleHandleW(nullptr), nullptr);
  if (!FHandle) return false;
  SendMessageW(FHandle, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(ExtendedStyle));
  return true;
}

void TListView::AddColumn(const std::wstring& Header, int Width) {
  LVCOLUMNW Column{};
  Column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
  Column.fmt = LVCFMT_LEFT;
  Column.cx = Width;
  Column.pszText = const_cast<wchar_t*>(Header.c_str());
  ListView_InsertColumn(FHandle, ColumnCount(), &Column);
}

int TListView::ColumnWidth(int Column) const { return ListView_GetColumnWidth(FHandle, Column); }
void TListView::SetColumnWidth(int Column, int Width) { ListView_SetColumnWidth(FHandle, Column, Width); }

int TListView::ColumnCount() const {
  const HWND Header = ListView_GetHeader(FHandle);
  return Header ? Header_GetItemCount(Header) : 0;
}

void TListView::SetRowCount(int Rows) {
  // The rows' texts are asked for when they are painted; a count set again would lay out the
  // list and its header anew for nothing.
  if (Rows != RowCount()) ListView_SetItemCountEx(FHandle, Rows, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
  InvalidateRect(FHandle, nullptr, FALSE);
}

int TListView::RowCount() const { return ListView_GetItemCount(FHandle); }

int TListView::SelectedRow() const { return ListView_GetNextItem(FHandle, -1, LVNI_SELECTED); }

void TListView::SelectRow(int Row) {
  ListView_SetItemState(FHandle, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  if (Row < 0 || Row >= RowCount()) return;
  ListView_SetItemState(FHandle, Row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_SetSelectionMark(FHandle, Row);
}

int TListView::FullyVisibleRows() const { return ListView_GetCountPerPage(FHandle); }

void TListView::RedrawRows(int First, int Last) { ListView_RedrawItems(FHandle, First, Last); }

void TListView::ScrollRows(int Rows) {
  RECT First{};
  if (RowCount() == 0 || !ListView_GetItemRect(FHandle, 0, &First, LVIR_BOUNDS)) {
    InvalidateRect(FHandle, nullptr, FALSE);
    return;
  }
  RECT Client{};
  GetClientRect(FHandle, &Client);
  const int Height = First.bottom - First.top;
  const RECT Area{Client.left, First.top, Client.right, std::min<LONG>(First.top + RowCount() * Height, Client.bottom)};
  ScrollWindowEx(FHandle, 0, -Rows * Height, &Area, &Area, nullptr, nullptr, SW_INVALIDATE);
}

// ------------------------------------------------------------------------------------------------
// TTreeView

bool TTreeView::Create(HWND Parent, int Id) {
  FHandle = CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT |
                                TVS_SHOWSELALWAYS,
                            0, 0, 0, 0, Parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id)),
                            GetModuleHandleW(nullptr), nullptr);
  return FHandle != nullptr;
}

void TTreeView::Clear() { TreeView_DeleteAllItems(FHandle); }

HTREEITEM TTreeView::Add(HTREEITEM Parent, LPARAM Data) {
  TVINSERTSTRUCTW Insert{};
  Insert.hParent = Parent;
  Insert.hInsertAfter = TVI_LAST;
  Insert.item.mask = TVIF_TEXT | TVIF_PARAM;
  Insert.item.pszText = LPSTR_TEXTCALLBACKW;
  Insert.item.lParam = Data;
  return TreeView_InsertItem(FHandle, &Insert);
}

void TTreeView::Expand(HTREEITEM Item) { TreeView_Expand(FHandle, Item, TVE_EXPAND); }

LPARAM TTreeView::SelectedData() const {
  const HTREEITEM Item = TreeView_GetSelection(FHandle);
  if (!Item) return -1;
  TVITEMW Data{};
  Data.mask = TVIF_PARAM;
  Data.hItem = Item;
  return TreeView_GetItem(FHandle, &Data) ? Data.lParam : -1;
}

// ------------------------------------------------------------------------------------------------
// TRichEdit

bool TRichEdit::Create(HWND Parent, int Id) {
  // The control's library is loaded at run time, as a program of its kind does, and stays loaded.
  static const HMODULE Library = LoadLibraryW(L"Msftedit.dll");
  if (!Library) return false;
  FHandle = CreateWindowExW(WS_EX_CLIENTEDGE, MSFTEDIT_CLASS, L"",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_NOHIDESEL, 0, 0, 0,
                            0, Parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id)), GetModuleHandleW(nullptr),
                            nullptr);
  if (!FHandle) return false;
  // No word wrap: every dump line stays one line.
  SendMessageW(FHandle, EM_SETTARGETDEVICE, 0, 1);
  SendMessageW(FHandle, EM_SETUNDOLIMIT, 0, 0);
  SendMessageW(FHandle, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(GetSysColor(COLOR_WINDOW)));
  return true;
}

void TRichEdit::SetFont(const wchar_t* Face, int Points) {
  FFace = Face;
  FPoints = Points;
  CHARFORMAT2W Format{};
  Format.cbSize = sizeof Format;
  Format.dwMask = CFM_FACE | CFM_SIZE | CFM_CHARSET;
  Format.yHeight = Points * 20;
  Format.bCharSet = DEFAULT_CHARSET;
  Format.bPitchAndFamily = FIXED_PITCH | FF_MODERN;
  lstrcpynW(Format.szFaceName, Face, LF_FACESIZE);
  SendMessageW(FHandle, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&Format));
  SendMessageW(FHandle, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&Format));
}

void TRichEdit::SetText(const std::u16string& Text) {
  SETTEXTEX Set{};
  Set.flags = ST_DEFAULT;
  Set.codepage = 1200;  // UTF-16
  const std::wstring Wide = W(Text);
  SendMessageW(FHandle, EM_SETTEXTEX, reinterpret_cast<WPARAM>(&Set), reinterpret_cast<LPARAM>(Wide.c_str()));
}

void TRichEdit::SetMarkedText(std::u16string_view Text, const std::vector<TMark>& Marks) {
  // The colour table: the text's default (entry 0) and every colour the runs use.
  std::vector<COLORREF> Colours;
  const auto ColourIndex = [&Colours](COLORREF Colour) {
    const auto Found = std::find(Colours.begin(), Colours.end(), Colour);
    if (Found != Colours.end()) return static_cast<size_t>(Found - Colours.begin()) + 1;
    Colours.push_back(Colour);
    return Colours.size();
  };
  // Which run each character shows (the last one that covers it); -1 for none.
  std::vector<int> Run(Text.size(), -1);
  std::vector<std::string> Switch(Marks.size());
  for (size_t Index = 0; Index < Marks.size(); ++Index) {
    const TMark& Mark = Marks[Index];
    const size_t Back = ColourIndex(Mark.Background);
    Switch[Index] = "\\cf" + std::to_string(ColourIndex(Mark.Text)) + "\\cb" + std::to_string(Back) + "\\highlight" +
                    std::to_string(Back) + (Mark.Bold ? "\\b " : "\\b0 ");
    const int64_t End = std::min<int64_t>(Mark.Start + Mark.Length, static_cast<int64_t>(Text.size()));
    for (int64_t At = std::max<int64_t>(Mark.Start, 0); At < End; ++At) Run[static_cast<size_t>(At)] = static_cast<int>(Index);
  }
  std::string Rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fmodern\\fcharset0 ";
  for (const wchar_t Char : FFace) Rtf += Char < 0x80 ? static_cast<char>(Char) : '?';
  Rtf += ";}}{\\colortbl;";
  for (const COLORREF Colour : Colours)
    Rtf += "\\red" + std::to_string(GetRValue(Colour)) + "\\green" + std::to_string(GetGValue(Colour)) + "\\blue" +
           std::to_string(GetBValue(Colour)) + ";";
  // The plain look is spelled out: the text must not take the weight or colours of what the
  // control showed before.
  const std::string Plain = "\\cf0\\cb0\\highlight0\\b0 ";
  Rtf += "}\\f0\\fs" + std::to_string(2 * FPoints) + Plain;
  int Current = -1;
  for (size_t At = 0; At < Text.size(); ++At) {
    if (Run[At] != Current) {
      Current = Run[At];
      Rtf += Current < 0 ? Plain : Switch[static_cast<size_t>(Current)];
    }
    const char16_t Char = Text[At];
    if (Char == u'\r') {
      Rtf += "\\par\n";
    } else if (Char == u'\\' || Char == u'{' || Char == u'}') {
      Rtf += '\\';
      Rtf += static_cast<char>(Char);
    } else if (Char >= 0x20 && Char < 0x80) {
      Rtf += static_cast<char>(Char);
    } else {
      Rtf += "\\u" + std::to_string(static_cast<int16_t>(Char)) + "?";
    }
  }
  Rtf += "}";
  SETTEXTEX Set{};
  Set.flags = ST_DEFAULT;
  Set.codepage = CP_ACP;
  SendMessageW(FHandle, EM_SETTEXTEX, reinterpret_cast<WPARAM>(&Set), reinterpret_cast<LPARAM>(Rtf.c_str()));
}

int TRichEdit::LineHeight() const {
  // The distance between the first two lines, or the font's height when there is one line.
  POINTL First{};
  POINTL Second{};
  SendMessageW(FHandle, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&First), 0);
  const LRESULT Next = SendMessageW(FHandle, EM_LINEINDEX, 1, 0);
  if (Next > 0) {
    SendMessageW(FHandle, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&Second), Next);
    if (Second.y > First.y) return static_cast<int>(Second.y - First.y);
  }
  return 0;
}

// ------------------------------------------------------------------------------------------------
// TScrollBar

namespace {

// Paints a control into a 32-bit bitmap first and puts that on the screen in one go. A themed
// scroll bar draws itself in some forty pieces; on a window each piece asks for the screen's
// colour depth, which under wine is three round trips to its server (a bar took 4 ms, half of
// a step that moves both bars' thumbs), while a bitmap of its own format answers at once. The
// picture is the same: the control paints itself, only into memory.
bool PaintThroughBitmap(HWND Control, UINT Message, WPARAM WParam, LPARAM, LRESULT& Result) {
  if (Message != WM_PAINT || WParam != 0) return false;
  PAINTSTRUCT Paint;
  const HDC Screen = BeginPaint(Control, &Paint);
  RECT Client;
  GetClientRect(Control, &Client);
  BITMAPINFO Format{};
  Format.bmiHeader.biSize = sizeof Format.bmiHeader;
  Format.bmiHeader.biWidth = std::max<LONG>(Client.right, 1);
  Format.bmiHeader.biHeight = -std::max<LONG>(Client.bottom, 1);
  Format.bmiHeader.biPlanes = 1;
  Format.bmiHeader.biBitCount = 32;
  Format.bmiHeader.biCompression = BI_RGB;
  void* Bits = nullptr;  // written by the control's drawing, not here
  const HDC Memory = CreateCompatibleDC(Screen);
  const HBITMAP Bitmap = CreateDIBSection(Screen, &Format, DIB_RGB_COLORS, &Bits, nullptr, 0);
  if (Memory && Bitmap) {
    const HGDIOBJ Previous = SelectObject(Memory, Bitmap);
    // Controls that take a device context with WM_PAINT paint the whole of it.
    ControlProc(Control, WM_PAINT, reinterpret_cast<WPARAM>(Memory), 0);
    BitBlt(Screen, Paint.rcPaint.left, Paint.rcPaint.top, Paint.rcPaint.right - Paint.rcPaint.left,
           Paint.rcPaint.bottom - Paint.rcPaint.top, Memory, Paint.rcPaint.left, Paint.rcPaint.top, SRCCOPY);
    SelectObject(Memory, Previous);
  } else {
    ControlProc(Control, WM_PAINT, reinterpret_cast<WPARAM>(Screen), 0);
  }
  if (Bitmap) DeleteObject(Bitmap);
  if (Memory) DeleteDC(Memory);
  EndPaint(Control, &Paint);
  Result = 0;
  return true;
}

TSubclassHandler ThroughBitmap = PaintThroughBitmap;

}  // namespace

bool TScrollBar::Create(HWND Parent, int Id, bool Vertical) {
  FHandle = CreateWindowExW(0, WC_SCROLLBARW, L"", WS_CHILD | WS_VISIBLE | (Vertical ? SBS_VERT : SBS_HORZ), 0, 0, 0,
                            0, Parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id)), GetModuleHandleW(nullptr),
                            nullptr);
  if (FHandle) Subclass(FHandle, &ThroughBitmap);
  return FHandle != nullptr;
}

void TScrollBar::SetRange(int Min, int Max, int Page) {
  SCROLLINFO Info{};
  Info.cbSize = sizeof Info;
  Info.fMask = SIF_RANGE | SIF_PAGE | SIF_DISABLENOSCROLL;
  Info.nMin = Min;
  Info.nMax = Max;
  Info.nPage = static_cast<UINT>(Page);
  SetScrollInfo(FHandle, SB_CTL, &Info, TRUE);
}

SCROLLINFO TScrollBar::Info(UINT Mask) const {
  SCROLLINFO Info{};
  Info.cbSize = sizeof Info;
  Info.fMask = Mask;
  GetScrollInfo(FHandle, SB_CTL, &Info);
  return Info;
}

void TScrollBar::MovePosition(int Position) { StorePosition(Position, FALSE); }

int TScrollBar::Max() const { return Info(SIF_RANGE).nMax; }
int TScrollBar::Position() const { return Info(SIF_POS).nPos; }
int TScrollBar::TrackPosition() const { return Info(SIF_TRACKPOS).nTrackPos; }

void TScrollBar::SetPosition(int Position) { StorePosition(Position, TRUE); }

std::pair<int, int> TScrollBar::ThumbPixels() const {
  SCROLLBARINFO Info{};
  Info.cbSize = sizeof Info;
  if (!GetScrollBarInfo(FHandle, OBJID_CLIENT, &Info)) return {-1, -1};
  return {Info.xyThumbTop, Info.xyThumbBottom};
}

void TScrollBar::StorePosition(int Position, BOOL Redraw) {
  // A step through a large file moves the position far more often than the thumb by a pixel;
  // the bar is painted again only when its thumb moved, since a themed bar is slow to paint.
  const std::pair<int, int> Before = ThumbPixels();
  SCROLLINFO Info{};
  Info.cbSize = sizeof Info;
  Info.fMask = SIF_POS;
  Info.nPos = Position;
  SetScrollInfo(FHandle, SB_CTL, &Info, FALSE);
  if (Before.first >= 0 && ThumbPixels() == Before) return;
  if (Redraw)
    RedrawWindow(FHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  else
    InvalidateRect(FHandle, nullptr, FALSE);
}

// ------------------------------------------------------------------------------------------------
// TStatusBar

bool TStatusBar::Create(HWND Parent, int Id) {
  FHandle = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, Parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(Id)), GetModuleHandleW(nullptr), nullptr);
  return FHandle != nullptr;
}

void TStatusBar::SetParts(const std::vector<std::u16string>& Texts) {
  if (Texts.empty()) return;
  // Only what changed is measured and set: each setting makes the bar paint again.
  const bool NewParts = Texts.size() != FTexts.size();
  if (NewParts) FWidths.assign(Texts.size(), 0);
  HDC Context = nullptr;
  HGDIOBJ Previous = nullptr;
  const int Padding = GetSystemMetrics(SM_CXEDGE) * 6;
  for (size_t Part = 1; Part < Texts.size(); ++Part) {
    if (!NewParts && Texts[Part] == FTexts[Part]) continue;
    if (!Context) {
      Context = GetDC(FHandle);
      const auto Font = reinterpret_cast<HFONT>(SendMessageW(FHandle, WM_GETFONT, 0, 0));
      Previous = Font ? SelectObject(Context, Font) : nullptr;
    }
    SIZE Extent{};
    const std::wstring Text = W(Texts[Part]);
    GetTextExtentPoint32W(Context, Text.c_str(), static_cast<int>(Text.size()), &Extent);
    FWidths[Part] = Text.empty() ? 0 : Extent.cx + Padding;
  }
  if (Context) {
    if (Previous) SelectObject(Context, Previous);
    ReleaseDC(FHandle, Context);
  }
  const bool Moved = PlaceParts();
  for (size_t Part = 0; Part < Texts.size(); ++Part) {
    if (!NewParts && !Moved && Texts[Part] == FTexts[Part]) continue;
    const std::wstring Text = W(Texts[Part]);
    SendMessageW(FHandle, SB_SETTEXTW, Part, reinterpret_cast<LPARAM>(Text.c_str()));
  }
  FTexts = Texts;
}

bool TStatusBar::PlaceParts() {
  RECT Client{};
  GetClientRect(FHandle, &Client);
  // Right edges: the last part ends at the grip, the others before it.
  std::vector<int> Edges(FWidths.size());
  int Right = Client.right - GetSystemMetrics(SM_CXVSCROLL);
  for (size_t Part = Edges.size(); Part-- > 0;) {
    Edges[Part] = Part + 1 == Edges.size() ? -1 : Right;
    if (Part > 0) Right -= FWidths[Part];
  }
  if (!Edges.empty()) Edges[0] = std::max<int>(Right, 0);
  if (Edges == FEdges) return false;
  SendMessageW(FHandle, SB_SETPARTS, Edges.size(), reinterpret_cast<LPARAM>(Edges.data()));
  FEdges = std::move(Edges);
  return true;
}

int TStatusBar::Height() const {
  RECT Bounds{};
  GetWindowRect(FHandle, &Bounds);
  return Bounds.bottom - Bounds.top;
}

void TStatusBar::Resize() {
  SendMessageW(FHandle, WM_SIZE, 0, 0);
  // The parts are placed from the right edge, which moved with the bar, and measured again: a
  // new size may come with a new font (another screen's DPI).
  const std::vector<std::u16string> Texts = std::move(FTexts);
  FTexts.clear();
  SetParts(Texts);
}

// ------------------------------------------------------------------------------------------------

bool CopyTextToClipboard(HWND Owner, const std::u16string& Text) {
  if (!OpenClipboard(Owner)) return false;
  EmptyClipboard();
  const size_t Bytes = (Text.size() + 1) * sizeof(wchar_t);
  HGLOBAL Memory = GlobalAlloc(GMEM_MOVEABLE, Bytes);
  bool Done = false;
  if (Memory) {
    if (void* Target = GlobalLock(Memory)) {
      std::copy(Text.begin(), Text.end(), static_cast<wchar_t*>(Target));
      static_cast<wchar_t*>(Target)[Text.size()] = L'\0';
      GlobalUnlock(Memory);
      Done = SetClipboardData(CF_UNICODETEXT, Memory) != nullptr;
    }
    if (!Done) GlobalFree(Memory);
  }
  CloseClipboard();
  return Done;
}

}  // namespace corvane::win32
