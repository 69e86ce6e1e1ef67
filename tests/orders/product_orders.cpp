// The recorded calls compared with the tables, and what each watched call's
// columns hold. The tables themselves are in product_order_tables.cpp.
#include "product_orders.h"

#include <stdio.h>
#include <string.h>

namespace orders {

// Arguments are counted in each call's own parameter order, from 0.
const Columns kWatched[] = {
    {"RegOpenKeyExW", 1, -1, -1, -1},      // subkey
    {"RegCreateKeyExW", 1, -1, -1, -1},    // subkey
    {"RegQueryValueExW", 1, -1, -1, -1},   // value name
    {"RegSetValueExW", 1, 3, 5, -1},       // value name, type, size in bytes
    {"RegDeleteKeyW", 1, -1, -1, -1},      // subkey
    {"RegCloseKey", -1, -1, -1, -1},
    {"FindWindowW", 1, -1, -1, -1},        // window title
    {"PostMessageW", -1, 1, 2, 3},         // message, wParam, lParam
    {"SendMessageW", -1, 1, 2, 3},         // message, wParam, lParam
    {"SetCapture", -1, -1, -1, -1},
    {"ReleaseCapture", -1, -1, -1, -1},
    {"SHRecognizeGesture", -1, -1, -1, -1},
    {"CreatePopupMenu", -1, -1, -1, -1},
    {"AppendMenuW", 3, 1, 2, -1},          // entry, flags, id
    {"TrackPopupMenuEx", -1, 1, -1, -1},   // flags
    {"DestroyMenu", -1, -1, -1, -1},
    {"ShellExecuteExW", 1, 2, -1, -1},     // file, fMask (of the SHELLEXECUTEINFO)
    {"LoadImageW", -1, 1, 2, 3},           // resource number, type, width
    {"DrawIconEx", -1, 1, 2, 4},           // x, y, width
    {"DestroyIcon", -1, -1, -1, -1},
    {"DrawTextW", 1, 4, -1, -1},           // text, format
    {"Polyline", -1, 2, -1, -1},           // points
    {"CreateFontIndirectW", -1, -1, -1, -1},
    {"DeleteObject", -1, -1, -1, -1},
    {"SHInitDialog", -1, 0, 2, -1},        // dwMask, dwFlags (of the SHINITDLGINFO)
    {"SetDlgItemTextW", 2, 1, -1, -1},     // text, control id
    {"GetDlgItemTextW", -1, 1, -1, -1},    // control id
    {"SetWindowTextW", 1, -1, -1, -1},     // text
    {"EndDialog", -1, 1, -1, -1},          // result
    {"MessageBoxW", 1, 3, -1, -1},         // text, style
    {"DialogBoxIndirectParamW", -1, -1, -1, -1},
    {"GetOpenFileNameW", -1, -1, -1, -1},
    {"SetForegroundWindow", -1, -1, -1, -1},
    {"ShowWindow", -1, 1, -1, -1},         // how
    {"BeginPaint", -1, -1, -1, -1},
    {"EndPaint", -1, -1, -1, -1},
};
const size_t kWatchedCount = sizeof(kWatched) / sizeof(kWatched[0]);

int handleColumn(const char* call) {
  static const struct {
    const char* call;
    int column;
  } handles[] = {{"LoadImageW", kResult},          {"DrawIconEx", 3},  {"DestroyIcon", 0},
                 {"CreateFontIndirectW", kResult}, {"DeleteObject", 0}, {"SendMessageW", 2}};  // WM_SETFONT's font
  for (const auto& h : handles)
    if (strcmp(h.call, call) == 0) return h.column;
  return -1;
}

const Columns* watched(const char* call) {
  for (size_t i = 0; i < kWatchedCount; ++i)
    if (strcmp(kWatched[i].call, call) == 0) return &kWatched[i];
  return nullptr;
}

namespace {

std::string number(long long v) {
  char buf[32];
  snprintf(buf, sizeof buf, v < 4096 ? "%lld" : "0x%llx", v);
  return buf;
}

// A call as the failure messages show it: its name and the columns its row
// of kWatched names, text first; `anyText` and the `any` bits (kAnyA..C)
// stand for what a table leaves open.
std::string render(const char* name, const std::string* text, const long long (&values)[3], unsigned any) {
  const Columns* c = watched(name);
  std::string d = std::string(name) + "(";
  bool first = true;
  auto add = [&](const std::string& part) {
    d += (first ? "" : ", ") + part;
    first = false;
  };
  if (c && c->text >= 0) add(text ? "\"" + *text + "\"" : "any text");
  const int used[3] = {c ? c->a : -1, c ? c->b : -1, c ? c->c : -1};
  for (int i = 0; i < 3; ++i)
    if (used[i] >= 0) add((any & (1u << i)) ? "any" : number(values[i]));
  return d + ")";
}

std::string describeStep(const Step& s) {
  const std::string text = s.text ? s.text : "";
  return render(s.call, s.text ? &text : nullptr, {s.a, s.b, s.c}, s.flags) +
         ((s.flags & kOptional) ? " (optional)" : "") +
         ((s.flags & kSameAs) ? " with the handle of row " + std::to_string(s.flags >> 8) : "");
}

bool matches(const Step& s, const Call& c) {
  if (c.name != s.call) return false;
  if (s.text && c.text != s.text) return false;
  if (!(s.flags & kAnyA) && c.a != s.a) return false;
  if (!(s.flags & kAnyB) && c.b != s.b) return false;
  if (!(s.flags & kAnyC) && c.c != s.c) return false;
  return true;
}

}  // namespace

std::string describe(const Call& call) { return render(call.name.c_str(), &call.text, {call.a, call.b, call.c}, 0); }

// When and how often a window repaints while something else goes on (a
// modal loop, a window uncovered) is the window manager's business and not
// the same on every platform: a table with no BeginPaint row is compared
// with the calls outside BeginPaint..EndPaint.
static std::vector<Call> withoutPaints(const std::vector<Call>& calls) {
  std::vector<Call> kept;
  int depth = 0;
  for (const Call& c : calls) {
    if (c.name == "BeginPaint") ++depth;
    if (depth == 0) kept.push_back(c);
    if (c.name == "EndPaint" && depth > 0) --depth;
  }
  return kept;
}

static bool aboutPainting(const Step* table, size_t rows) {
  for (size_t i = 0; i < rows; ++i)
    if (strcmp(table[i].call, "BeginPaint") == 0) return true;
  return false;
}

std::string compare(const std::vector<Call>& recorded, const Step* table, size_t rows) {
  const std::vector<Call> got = aboutPainting(table, rows) ? recorded : withoutPaints(recorded);
  size_t i = 0, j = 0;
  std::vector<size_t> matched(rows, got.size());  // the call each row matched
  auto sameHandle = [&](const Step& s, const Call& c) {
    if (!(s.flags & kSameAs)) return true;
    size_t row = s.flags >> 8;
    return row < i && matched[row] < got.size() && got[matched[row]].handle == c.handle;
  };
  while (i < rows) {
    if (j < got.size() && matches(table[i], got[j]) && sameHandle(table[i], got[j])) {
      matched[i] = j;
      ++i;
      ++j;
    } else if (table[i].flags & kOptional) {
      ++i;
    } else {
      break;
    }
  }
  if (i == rows && j == got.size()) return "";
  std::string r;
  if (i < rows)
    r = "departs at row " + std::to_string(i) + ": expected " + describeStep(table[i]) + ", found " +
        (j < got.size() ? describe(got[j]) : std::string("the end of the calls"));
  else
    r = "goes on past the table at call " + std::to_string(j) + ": " + describe(got[j]);
  r += "\nrecorded:";
  for (size_t k = 0; k < got.size(); ++k) r += "\n  " + std::to_string(k) + ": " + describe(got[k]);
  return r;
}

}  // namespace orders
