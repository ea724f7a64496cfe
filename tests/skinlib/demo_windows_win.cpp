#include "tests/skinlib/demo_windows_win.h"

#include <commctrl.h>

#include <string>

#include "runtime/handle_win.h"

namespace vantoip::test {
namespace {

constexpr wchar_t kWindowClass[] = L"VantoipSkinDemo";
constexpr wchar_t kPictureClass[] = L"VantoipSkinDemoPicture";

struct Item {
  DemoControl id;
  const wchar_t* cls;
  DWORD style;
  DWORD exStyle;
  int left, top, width, height;
  const wchar_t* text;
  bool bigFont = false;
};

constexpr DWORD kButton = BS_PUSHBUTTON | WS_TABSTOP;
constexpr DWORD kLabel = SS_LEFT | SS_NOTIFY;

const wchar_t kAdvert[] =
    L"                        推荐项目1\r\n  每天完成简单任务即可获得积分，积分可兑换现金。\r\n"
    L"                        推荐项目2\r\n  阅读文章赚取收益，满十元即可提现。\r\n"
    L"                        推荐项目3\r\n  邀请好友注册，每位好友奖励五元。\r\n"
    L"                        推荐项目4\r\n  参与问卷调查，每份问卷奖励二至十元。";

// The main window's controls, group box contents placed inside the box.
const Item kMainItems[] = {
    {kDemoDetails, WC_BUTTONW, kButton, 0, 5 + 485, 363 + 8, 134, 30, L"了解项目详情"},
    {kDemoProject1, WC_BUTTONW, kButton, 0, 5 + 485, 363 + 43, 134, 30, L"推荐项目1注册"},
    {kDemoProject2, WC_BUTTONW, kButton, 0, 5 + 485, 363 + 76, 134, 30, L"推荐项目2注册"},
    {kDemoProject3, WC_BUTTONW, kButton, 0, 5 + 485, 363 + 109, 134, 30, L"推荐项目3注册"},
    {kDemoProject4, WC_BUTTONW, kButton, 0, 5 + 485, 363 + 143, 134, 30, L"推荐项目4注册"},
    {kDemoAdvert, WC_STATICW, kLabel, WS_EX_TRANSPARENT, 5 + 3, 363 + 13, 456, 144, kAdvert},
    {kDemoAdverts, WC_BUTTONW, BS_GROUPBOX, 0, 5, 363, 632, 181, L"广告区"},
    {kDemoTimer, WC_STATICW, kLabel, 0, 560, 327, 60, 24, L"00:00", true},
    {kDemoConnect, WC_BUTTONW, kButton, 0, 426, 324, 56, 24, L"连接"},
    {kDemoDelay, WC_STATICW, kLabel, 0, 361, 323, 50, 24, L"47", true},
    {kDemoDelayCaption, WC_STATICW, kLabel, 0, 329, 322, 40, 24, L"延迟："},
    {kDemoTarget, WC_STATICW, kLabel, 0, 171, 323, 150, 24, L"203.0.113.7:8080", true},
    {kDemoTargetCaption, WC_STATICW, kLabel, 0, 115, 323, 64, 24, L"代理目标："},
    {kDemoState, WC_STATICW, kLabel, 0, 75, 323, 40, 24, L"禁用", true},
    {kDemoStateCaption, WC_STATICW, kLabel, 0, 17, 322, 64, 24, L"代理状态："},
    {kDemoRefresh, WC_BUTTONW, kButton, 0, 498, 324, 56, 24, L"刷新"},
    {kDemoList, WC_LISTVIEWW, LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP, WS_EX_CLIENTEDGE, 9, 18,
     617, 304, L""},
    {kDemoFunctions, WC_BUTTONW, BS_GROUPBOX, 0, 4, 3, 636, 357, L"功能区"},
};

const Item kDetailsItems[] = {
    {kDemoTabs, WC_TABCONTROLW, 0, 0, 0, 0, 648, 504, L""},
    {kDemoDescription, WC_STATICW, kLabel, WS_EX_TRANSPARENT, 8, 55 + 22, 576, 125,
     L"    项目介绍：\r\n  每天登录并完成任务即可获得积分。\r\n    兑换问题：\r\n  积分满一千即可兑换，三个工作日内到账。\r\n"
     L"    其他问题：\r\n  问：可以多个帐号吗？答：每人限一个帐号。"},
    {kDemoPictureGroup, WC_BUTTONW, BS_GROUPBOX, 0, 2, 182 + 22, 638, 296, L"收入截图"},
    {kDemoPicture, kPictureClass, 0, 0, 2 + 6, 182 + 22 + 18, 624, 268, L""},
    {kDemoRegisterGroup, WC_BUTTONW, BS_GROUPBOX, 0, 2, 45 + 22, 638, 135, L""},
    {kDemoRegister, WC_BUTTONW, kButton | BS_MULTILINE, 0, 2 + 592, 45 + 22 + 8, 40, 123, L"注册帐号"},
    {kDemoStatement, WC_STATICW, kLabel, WS_EX_TRANSPARENT, 9, 23 + 22, 623, 32,
     L"以上项目均经过长期验证，请放心参与。咨询电话：010-5550123"},
};

const wchar_t* const kFontFamilies[] = {L"Microsoft YaHei UI", L"Microsoft YaHei", L"SimSun", L"WenQuanYi Micro Hei"};

int CALLBACK NoteFamily(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

// The first installed family of the list: a missing one would be replaced by
// one without Chinese characters.
const wchar_t* InstalledFamily() {
  const WindowDc screen(nullptr, GetDC(nullptr));
  for (const wchar_t* family : kFontFamilies) {
    LOGFONTW query{};
    query.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(query.lfFaceName, family, LF_FACESIZE - 1);
    bool found = false;
    EnumFontFamiliesExW(screen.Get(), &query, &NoteFamily, reinterpret_cast<LPARAM>(&found), 0);
    if (found) return family;
  }
  return L"SimSun";
}

HFONT Font(bool big) {
  static HFONT normal = CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, GB2312_CHARSET, 0, 0, 0, 0, InstalledFamily());
  static HFONT large = CreateFontW(-16, 0, 0, 0, FW_NORMAL, 0, 0, 0, GB2312_CHARSET, 0, 0, 0, 0, InstalledFamily());
  return big ? large : normal;
}

LRESULT CALLBACK PictureProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_PAINT) return DefWindowProcW(window, message, wParam, lParam);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  RECT r;
  GetClientRect(window, &r);
  FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  const COLORREF colours[] = {RGB(66, 133, 244), RGB(52, 168, 83), RGB(251, 188, 5), RGB(234, 67, 53)};
  for (int i = 0; i < 12; ++i) {
    const GdiObject bar(CreateSolidBrush(colours[i % 4]));
    const int height = 30 + (i * 37) % (r.bottom - 40);
    RECT b{20 + i * 50, r.bottom - 10 - height, 55 + i * 50, r.bottom - 10};
    FillRect(dc, &b, static_cast<HBRUSH>(bar.Get()));
  }
  EndPaint(window, &ps);
  return 0;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CTLCOLORSTATIC: {  // as the program's windows answer
      const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
      if (id == kDemoAdvert || id == kDemoDescription || id == kDemoStatement) {
        SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
      }
      SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->idFrom == kDemoTabs && header->code == TCN_SELCHANGE) {
        const bool first = TabCtrl_GetCurSel(header->hwndFrom) == 0;
        for (int id = kDemoStatement; id <= kDemoPicture; ++id)
          ShowWindow(GetDlgItem(window, id), first ? SW_SHOW : SW_HIDE);
      }
      return 0;
    }
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void RegisterClasses() {
  static const bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = kWindowClass;
    RegisterClassW(&wc);
    wc.lpfnWndProc = &PictureProc;
    wc.hbrBackground = nullptr;
    wc.lpszClassName = kPictureClass;
    RegisterClassW(&wc);
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES};
    InitCommonControlsEx(&icc);
    return true;
  }();
  (void)registered;
}

template <std::size_t N>
HWND CreateWithItems(const wchar_t* title, int left, int top, int width, int height, HWND owner,
                     const Item (&items)[N]) {
  RegisterClasses();
  HWND window = CreateWindowExW(WS_EX_CONTROLPARENT, kWindowClass, title,
                                WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, left, top,
                                width, height, owner, nullptr, GetModuleHandleW(nullptr), nullptr);
  // Containers first, as the program makes them, and beneath the controls they hold.
  const auto isContainer = [](const Item& item) {
    return (wcscmp(item.cls, WC_BUTTONW) == 0 && (item.style & BS_TYPEMASK) == BS_GROUPBOX) || item.id == kDemoTabs;
  };
  for (bool containers : {true, false})
    for (const Item& item : items) {
      if (isContainer(item) != containers) continue;
      HWND control = CreateWindowExW(item.exStyle, item.cls, item.text,
                                     WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | item.style, item.left, item.top,
                                     item.width, item.height, window,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(item.id)), GetModuleHandleW(nullptr),
                                     nullptr);
      SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(Font(item.bigFont)), FALSE);
    }
  for (const Item& item : items)
    if (isContainer(item))
      SetWindowPos(GetDlgItem(window, item.id), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return window;
}

void FillList(HWND list) {
  ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
  const std::pair<const wchar_t*, int> columns[] = {{L"序号", 50}, {L"服务器地址", 150}, {L"端口", 50},
                                                    {L"位置", 100}, {L"速度", 50},      {L"检查时间", 200}};
  for (int i = 0; i < 6; ++i) {
    LVCOLUMNW c{};
    c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    c.fmt = i == 0 ? LVCFMT_LEFT : LVCFMT_CENTER;
    c.cx = columns[i].second;
    c.pszText = const_cast<wchar_t*>(columns[i].first);
    SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&c));
  }
  const wchar_t* places[] = {L"北京", L"上海", L"广东广州", L"浙江杭州", L"四川成都", L"江苏南京"};
  for (int row = 0; row < 9; ++row) {
    const std::wstring cells[] = {std::to_wstring(row + 1),
                                  L"203.0.113." + std::to_wstring(10 + row * 7),
                                  std::to_wstring(row % 3 ? 8080 : 3128),
                                  places[row % 6],
                                  std::to_wstring(1 + row % 4) + L"秒",
                                  L"2024-06-0" + std::to_wstring(1 + row % 9) + L" 12:3" + std::to_wstring(row)};
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<wchar_t*>(cells[0].c_str());
    SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    for (int c = 1; c < 6; ++c) {
      item.iSubItem = c;
      item.pszText = const_cast<wchar_t*>(cells[c].c_str());
      SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    }
  }
}

}  // namespace

HWND CreateDemoMainWindow(int left, int top) {
  HWND window = CreateWithItems(L"Vantoip地址代理工具", left, top, 649, 576, nullptr, kMainItems);
  FillList(DemoItem(window, kDemoList));
  return window;
}

HWND CreateDemoDetailsWindow(HWND owner, int left, int top) {
  HWND window = CreateWithItems(L"项目详情", left, top, 650, 527, owner, kDetailsItems);
  for (const wchar_t* tab : {L"项目一详情", L"项目二详情", L"项目三详情", L"项目四详情"}) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(tab);
    HWND tabs = DemoItem(window, kDemoTabs);
    SendMessageW(tabs, TCM_INSERTITEMW, TabCtrl_GetItemCount(tabs), reinterpret_cast<LPARAM>(&item));
  }
  return window;
}

HWND DemoItem(HWND window, DemoControl id) { return GetDlgItem(window, id); }

void PumpMessages(DWORD ms) {
  const DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(10);
  } while (GetTickCount() - start < ms);
}

}  // namespace vantoip::test
