#include "win32/HexEditDialog.h"

#include <windowsx.h>

#include <algorithm>
#include <optional>

#include "core/FileStream.h"
#include "core/ODSUtls.h"
#include "hex/HexEditFlow.h"
#include "win32/Dialog.h"

namespace corvane::win32 {
namespace {

constexpr int IdGrid = 100;
constexpr int IdRepair = 101;
constexpr int OffsetColumnWidth = 180;
constexpr int ByteColumnWidth = 24;
constexpr int TextColumnWidth = 120;
constexpr COLORREF ChangedBack = RGB(255, 0, 0);
constexpr COLORREF ChangedText = RGB(255, 255, 255);

// What the cells' mask lets through: an ASCII letter or digit.
bool MaskCharacter(WPARAM Character) {
  return (Character >= '0' && Character <= '9') || (Character >= 'A' && Character <= 'Z') ||
         (Character >= 'a' && Character <= 'z');
}

class THexEditDialog : public TDialog {
 public:
  THexEditDialog(TFileStream* Stream, std::u16string Caption, bool CanModify, int64_t Offset, int64_t Size)
      : FStream(Stream), FCaption(std::move(Caption)), FCanModify(CanModify), FOffset(Offset), FSize(Size) {}
  ~THexEditDialog() override {
    if (FGrid) RemoveSubclass(FGrid, &FGridHandler);
  }
  bool SaveFailed() const { return FSaveFailed; }

 protected:
  std::wstring Title() const override { return L"Hex Edit"; }
  SIZE DesignClientSize() const override { return {769, 613}; }
  bool Resizable() const override { return true; }

  void CreateControls() override {
    FGridFont.Reset(CreatePixelFont(L"Courier New", S(13), false, true));
    FGrid = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL |
                                LVS_NOSORTHEADER,
                            0, 0, 0, 0, FHandle, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IdGrid)),
                            GetModuleHandleW(nullptr), nullptr);
    ListView_SetExtendedListViewStyle(FGrid, LVS_EX_GRIDLINES | LVS_EX_DOUBLEBUFFER);
    SendMessageW(FGrid, WM_SETFONT, reinterpret_cast<WPARAM>(FGridFont.Font()), FALSE);
    FGridHandler = [this](HWND, UINT Message, WPARAM WParam, LPARAM LParam, LRESULT& Result) {
      return GridMessage(Message, WParam, LParam, Result);
    };
    Subclass(FGrid, &FGridHandler);
    FRepair = AddControl(WC_BUTTONW, W(HexEditRepairCrcText), WS_TABSTOP | BS_AUTOCHECKBOX, 8, 0, 300, 25, IdRepair);
    EnableWindow(FRepair, FALSE);
    FSave = AddControl(WC_BUTTONW, L"Save Changes", WS_TABSTOP | BS_PUSHBUTTON, 547, 581, 110, 25, IDOK);
    FCancel = AddControl(WC_BUTTONW, L"Cancel", WS_TABSTOP | BS_PUSHBUTTON, 659, 581, 110, 25, IDCANCEL);
    FormShow();
    RECT Client{};
    GetClientRect(FHandle, &Client);
    Layout(Client.right, Client.bottom);
  }

  void Shown() override { SetFocus(FGrid); }

  void Layout(int Width, int Height) override {
    if (!FGrid) return;
    const int ButtonWidth = S(110);
    const int ButtonHeight = S(25);
    const int Bottom = Height - S(7) - ButtonHeight;
    MoveWindow(FGrid, 0, 0, Width, std::max(Bottom - S(12), 0), TRUE);
    MoveWindow(FRepair, S(8), Bottom, std::max(Width - 2 * ButtonWidth - S(24), 0), ButtonHeight, TRUE);
    MoveWindow(FSave, Width - 2 * ButtonWidth - S(2) - S(8), Bottom, ButtonWidth, ButtonHeight, TRUE);
    MoveWindow(FCancel, Width - ButtonWidth - S(8), Bottom, ButtonWidth, ButtonHeight, TRUE);
  }

  bool Command(int Id, int, HWND) override {
    if (Id == IDOK) {
      bbtnOKClick();
      return true;
    }
    // Escape, Cancel and the close button: with unsaved edits (a half-typed cell is one too)
    // the user is asked first, and No keeps the dialog open.
    if (Id == IDCANCEL) {
      EndEdit(true);
      if (FModel.HasUnsavedEdits() &&
          MessageBoxW(FHandle, W(DiscardEditsQuestion).c_str(), L"Confirm", MB_ICONQUESTION | MB_YESNO | MB_DEFBUTTON2) !=
              IDYES)
        return true;
    }
    return false;
  }

  LRESULT HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam) override {
    if (Message == WM_NOTIFY) {
      auto* Header = reinterpret_cast<NMHDR*>(LParam);
      if (Header->hwndFrom == FGrid) {
        if (Header->code == LVN_GETDISPINFOW) {
          auto* Info = reinterpret_cast<NMLVDISPINFOW*>(LParam);
          if (Info->item.mask & LVIF_TEXT)
            lstrcpynW(Info->item.pszText, W(FModel.Cell(Info->item.iSubItem, Info->item.iItem + 1)).c_str(),
                      Info->item.cchTextMax);
          return 0;
        }
        if (Header->code == NM_CUSTOMDRAW) return StringGrid1DrawCell(reinterpret_cast<NMLVCUSTOMDRAW*>(LParam));
      }
    }
    if (Message == DM_GETDEFID) return 0;  // Enter belongs to the grid
    if (Message == WM_APP) {
      // The editor lost the focus to another control: its text is taken as it stands.
      if (FEditor && GetFocus() != FEditor) EndEdit(true, false);
      return 0;
    }
    return TDialog::HandleMessage(Message, WParam, LParam);
  }

 private:
  void FormShow() {
    TBusyCursor Busy;
    GuardedCall(u"THexEditForm.FormShow", [&] {
      const bool Loaded = FStream && LoadHexEdit(FModel, *FStream, FOffset, FSize);
      // A column is at least as wide as its widest text in the grid's font, with the cell's margins.
      // A column is at least as wide as its widest text in the grid's font and its header in the
      // header's, with the margins of a cell.
      const HWND Header = ListView_GetHeader(FGrid);
      const HDC Context = GetDC(Header);
      const HGDIOBJ Previous = SelectObject(Context, reinterpret_cast<HFONT>(SendMessageW(Header, WM_GETFONT, 0, 0)));
      const auto Fit = [&](int Design, const wchar_t* Widest, const std::wstring& Caption) {
        const auto Cell = static_cast<int>(SendMessageW(FGrid, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(Widest)));
        SIZE Extent{};
        GetTextExtentPoint32W(Context, Caption.c_str(), static_cast<int>(Caption.size()), &Extent);
        return std::max({S(Design), Cell + S(10), static_cast<int>(Extent.cx) + S(14)});
      };
      int Columns = 0;
      for (int Column = 0; Column < THexEditModel::ColumnCount; ++Column) {
        const std::wstring Caption = W(FModel.Cell(Column, 0));
        const int Width = Column == 0 ? Fit(OffsetColumnWidth, L"0x0000000000000000", Caption)
                          : Column == THexEditModel::TextColumn ? Fit(TextColumnWidth, L"0000000000000000", Caption)
                                                                : Fit(ByteColumnWidth, L"0F", Caption);
        LVCOLUMNW Item{};
        Item.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        Item.fmt = LVCFMT_LEFT;
        Item.cx = Width;
        Item.pszText = const_cast<wchar_t*>(Caption.c_str());
        ListView_InsertColumn(FGrid, Column, &Item);
        Columns += Width;
      }
      SelectObject(Context, Previous);
      ReleaseDC(Header, Context);
      // A dialog too narrow for the columns in this font grows until they fit.
      RECT Client{};
      GetClientRect(FHandle, &Client);
      const int Needed = Columns + GetSystemMetrics(SM_CXVSCROLL) + 4 * GetSystemMetrics(SM_CXEDGE);
      if (Needed > Client.right) {
        RECT Frame{};
        GetWindowRect(FHandle, &Frame);
        const int Grow = Needed - Client.right;
        SetWindowPos(FHandle, nullptr, Frame.left - Grow / 2, Frame.top, Frame.right - Frame.left + Grow,
                     Frame.bottom - Frame.top, SWP_NOZORDER | SWP_NOACTIVATE);
      }
      ListView_SetItemCount(FGrid, std::max(FModel.RowCount() - 1, 0));
      if (!Loaded) {
        ReportCallFailure(u"THexEditForm.FormShow");
        return;
      }
      const bool WholeFrame = FModel.WholeFrameSize() > 0;
      EnableWindow(FRepair, WholeFrame);
      Button_SetCheck(FRepair, WholeFrame ? BST_CHECKED : BST_UNCHECKED);
      SetWindowTextW(FHandle, (L"Hex Edit" + W(FCaption)).c_str());
      if (const auto First = FModel.NextCell(FModel.LeadingCells(), 1)) MoveTo(*First);
    });
  }

  // --- The cell cursor -----------------------------------------------------------------------
  bool MoveTo(THexCell Cell) {
    const std::optional<THexCell> Leaving = FModel.LastSelected();
    if (!FModel.SelectCell(Cell.Column, Cell.Row)) return false;
    FCurrent = Cell;
    if (Leaving) RedrawRow(Leaving->Row);
    RedrawRow(Cell.Row);
    ListView_EnsureVisible(FGrid, Cell.Row - 1, FALSE);
    return true;
  }

  void RedrawRow(int Row) { ListView_RedrawItems(FGrid, Row - 1, Row - 1); }

  // The nearest cell in a direction that may become current.
  void Step(int Columns, int Rows) {
    if (!FCurrent) return;
    THexCell Cell = *FCurrent;
    for (;;) {
      Cell.Column += Columns;
      Cell.Row += Rows;
      if (Cell.Column < THexEditModel::FirstByteColumn || Cell.Column > THexEditModel::LastByteColumn || Cell.Row < 1 ||
          Cell.Row >= FModel.RowCount())
        return;
      if (FModel.CanSelect(Cell.Column, Cell.Row)) {
        MoveTo(Cell);
        return;
      }
    }
  }

  void SelectNextCell() {
    if (!FCurrent) return;
    if (const auto Next = FModel.NextCell(FCurrent->Column, FCurrent->Row)) MoveTo(*Next);
  }

  std::optional<THexCell> CellAt(LPARAM At) const {
    LVHITTESTINFO Hit{};
    Hit.pt = {GET_X_LPARAM(At), GET_Y_LPARAM(At)};
    if (ListView_SubItemHitTest(FGrid, &Hit) < 0 || Hit.iItem < 0) return std::nullopt;
    return THexCell{Hit.iSubItem, Hit.iItem + 1};
  }

  bool GridMessage(UINT Message, WPARAM WParam, LPARAM LParam, LRESULT& Result) {
    switch (Message) {
      case WM_GETDLGCODE:
        Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
        if (LParam && reinterpret_cast<const MSG*>(LParam)->message == WM_KEYDOWN &&
            reinterpret_cast<const MSG*>(LParam)->wParam == VK_RETURN)
          Result |= DLGC_WANTMESSAGE;
        return true;
      case WM_KEYDOWN:
        switch (WParam) {
          case VK_LEFT: Step(-1, 0); break;
          case VK_RIGHT: Step(1, 0); break;
          case VK_UP: Step(0, -1); break;
          case VK_DOWN: Step(0, 1); break;
          case VK_PRIOR: for (int Row = 0; Row < 10; ++Row) Step(0, -1); break;
          case VK_NEXT: for (int Row = 0; Row < 10; ++Row) Step(0, 1); break;
          case VK_RETURN: SelectNextCell(); break;
          case VK_F2: BeginEdit(L""); break;
          default: return false;
        }
        Result = 0;
        return true;
      case WM_CHAR:
        // Typing a letter or digit on a cell starts editing it with that character.
        if (MaskCharacter(WParam)) BeginEdit(std::wstring(1, static_cast<wchar_t>(WParam)));
        Result = 0;
        return true;
      case WM_LBUTTONDOWN:
      case WM_LBUTTONDBLCLK: {
        SetFocus(FGrid);
        // Only byte cells that hold a value can become current; the list selects nothing itself.
        if (const auto Cell = CellAt(LParam); Cell && MoveTo(*Cell) && Message == WM_LBUTTONDBLCLK) BeginEdit(L"");
        Result = 0;
        return true;
      }
      default:
        return false;
    }
  }

  // --- The in-place editor -----------------------------------------------------------------
  void BeginEdit(const std::wstring& First) {
    if (!FCurrent || FEditor) return;
    RECT Cell{};
    ListView_GetSubItemRect(FGrid, FCurrent->Row - 1, FCurrent->Column, LVIR_BOUNDS, &Cell);
    FEditCell = *FCurrent;
    FEditor = CreateWindowExW(0, WC_EDITW, First.empty() ? W(FModel.Cell(FEditCell.Column, FEditCell.Row)).c_str()
                                                         : First.c_str(),
                              WS_CHILD | WS_VISIBLE | WS_BORDER | ES_UPPERCASE | ES_AUTOHSCROLL, Cell.left, Cell.top,
                              Cell.right - Cell.left, Cell.bottom - Cell.top, FGrid, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    SendMessageW(FEditor, WM_SETFONT, reinterpret_cast<WPARAM>(FGridFont.Font()), FALSE);
    // The mask: two positions, each a letter or a digit.
    SendMessageW(FEditor, EM_LIMITTEXT, 2, 0);
    FEditorHandler = [this](HWND, UINT Message, WPARAM WParam, LPARAM, LRESULT& Result) {
      switch (Message) {
        case WM_GETDLGCODE:
          Result = DLGC_WANTALLKEYS;
          return true;
        case WM_CHAR:
          if (WParam == VK_RETURN || WParam == VK_ESCAPE) {
            Result = 0;
            return true;
          }
          if (WParam >= 0x20 && !MaskCharacter(WParam)) {
            MessageBeep(MB_OK);
            Result = 0;
            return true;
          }
          return false;
        case WM_KEYDOWN:
          if (WParam == VK_RETURN) {
            // Enter takes the text as it stands, even half typed, and moves on.
            EndEdit(true);
            SelectNextCell();
            Result = 0;
            return true;
          }
          if (WParam == VK_ESCAPE) {
            EndEdit(false);
            Result = 0;
            return true;
          }
          return false;
        case WM_KILLFOCUS:
          PostMessageW(FHandle, WM_APP, 0, 0);
          return false;
        default:
          return false;
      }
    };
    Subclass(FEditor, &FEditorHandler);
    SetFocus(FEditor);
    SendMessageW(FEditor, EM_SETSEL, First.empty() ? 0 : 1, First.empty() ? -1 : 1);
  }

  void EndEdit(bool Keep, bool FocusGrid = true) {
    if (!FEditor) return;
    HWND Editor = FEditor;
    FEditor = nullptr;
    if (Keep) {
      // What the mask shows: an unfilled position is a blank.
      std::u16string Text = WindowText(Editor);
      Text.resize(2, u' ');
      FModel.SetEditText(FEditCell.Column, FEditCell.Row, Text);
    }
    RemoveSubclass(Editor, &FEditorHandler);
    DestroyWindow(Editor);
    RedrawRow(FEditCell.Row);
    if (FocusGrid) SetFocus(FGrid);
  }

  LRESULT StringGrid1DrawCell(NMLVCUSTOMDRAW* Draw) {
    switch (Draw->nmcd.dwDrawStage) {
      case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
      case CDDS_ITEMPREPAINT:
        // The list's own selection and focus marks are not drawn: the grid has a cell cursor.
        Draw->nmcd.uItemState &= ~static_cast<UINT>(CDIS_SELECTED | CDIS_FOCUS);
        return CDRF_NOTIFYSUBITEMDRAW;
      case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
        const int Column = Draw->iSubItem;
        const int Row = static_cast<int>(Draw->nmcd.dwItemSpec) + 1;
        Draw->clrText = GetSysColor(COLOR_WINDOWTEXT);
        Draw->clrTextBk = GetSysColor(COLOR_WINDOW);
        if (Column == 0) {
          Draw->clrTextBk = GetSysColor(COLOR_BTNFACE);
        } else if (FModel.GetChangedCellIndex(Column, Row) >= 0) {
          Draw->clrText = ChangedText;
          Draw->clrTextBk = ChangedBack;
        } else if (FCurrent && FCurrent->Column == Column && FCurrent->Row == Row) {
          Draw->clrText = GetSysColor(COLOR_HIGHLIGHTTEXT);
          Draw->clrTextBk = GetSysColor(COLOR_HIGHLIGHT);
        }
        return CDRF_NEWFONT;
      }
      default:
        return CDRF_DODEFAULT;
    }
  }

  void bbtnOKClick() {
    GuardedCall(u"THexEditForm.bbtnOKClick", [&] {
      EndEdit(true);
      const bool Repair = Button_GetCheck(FRepair) == BST_CHECKED;
      FSaveFailed = !SaveHexEdit(FModel, *FStream, FCanModify, Repair, [this](THexEditMessage Kind, std::u16string_view Text) {
        const std::wstring Body = W(Text);
        switch (Kind) {
          case THexEditMessage::Confirm:
            return MessageBoxW(FHandle, Body.c_str(), L"Confirm", MB_ICONQUESTION | MB_YESNO | MB_DEFBUTTON2) == IDYES;
          case THexEditMessage::Information:
            MessageBoxW(FHandle, Body.c_str(), L"Information", MB_ICONINFORMATION | MB_OK);
            return true;
          case THexEditMessage::Error:
            MessageBoxW(FHandle, Body.c_str(), L"Error", MB_ICONERROR | MB_OK);
            return true;
        }
        return false;
      });
    });
    EndDialog(IDOK);
  }

  THexEditModel FModel;
  TFileStream* FStream;
  std::u16string FCaption;
  bool FCanModify;
  int64_t FOffset;
  int64_t FSize;
  bool FSaveFailed = false;
  TGdiObject FGridFont;
  HWND FGrid = nullptr;
  HWND FRepair = nullptr;
  HWND FSave = nullptr;
  HWND FCancel = nullptr;
  HWND FEditor = nullptr;
  THexCell FEditCell;
  std::optional<THexCell> FCurrent;
  TSubclassHandler FGridHandler;
  TSubclassHandler FEditorHandler;
};

}  // namespace

bool EditFile(HWND Owner, TFileStream* FileStream, const std::u16string& AdditionalCaption, bool CanModify,
              int64_t Offset, int64_t Size) {
  if (!FileStream || !FileStream->IsOpen()) {
    ReportFailure(u"EditFile", u"invalid filestream.");
    return false;
  }
  try {
    THexEditDialog Dialog(FileStream, AdditionalCaption, CanModify, Offset, Size);
    return Dialog.ShowModal(Owner) == IDOK && !Dialog.SaveFailed();
  } catch (...) {
    ReportCallFailure(u"EditFile");
    return false;
  }
}

}  // namespace corvane::win32
