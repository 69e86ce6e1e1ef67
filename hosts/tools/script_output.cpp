// Script commands that leave something behind: screenshots, the steps of a
// story with their contact sheet and transcript, and printed lines.
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <ostream>

#include "output_file.h"
#include "player.h"
#include "product_names.h"
#include "screenshot.h"
#include "script_runner.h"
#include "window_manager.h"

namespace crestune::script {

namespace {

// A file under the output folder, its folder made when missing. Answers
// the file.
std::filesystem::path outputFile(Session& s, const std::filesystem::path& name) {
  std::filesystem::path file = s.outputFolder / name;
  std::error_code ec;
  if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), ec);
  if (ec) throw ScriptError("cannot write " + file.string() + ": cannot make its folder (" + ec.message() + ")");
  return file;
}

// The screen once the device has settled (a modal loop of the device
// waiting on this line is left as it is).
const wince::Screen& settledScreen(Session& s, bool nested) {
  if (!nested) s.device().windows().runUntilIdle();
  return s.device().screen();
}

// A step's file name: its number and the caption's words in lower case.
std::string stepFileName(size_t number, const std::string& caption) {
  char name[32];
  std::snprintf(name, sizeof name, "%02zu-", number);
  std::string slug;
  for (char c : caption) {
    if (std::isalnum(static_cast<unsigned char>(c))) slug += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    else if (!slug.empty() && slug.back() != '-') slug += '-';
    if (slug.size() > 40) break;
  }
  while (!slug.empty() && slug.back() == '-') slug.pop_back();
  return name + slug + ".png";
}

}  // namespace

std::string Runner::settingsText() {
  auto& r = s_.device().registry();
  const std::string key = settingsKeyPath();
  const std::string item = todayItemKeyPath(itemName());
  std::string s = std::string("Today item ") + (r.keyExists(item) ? "registered" : "not registered") + "; settings ";
  if (!r.keyExists(key)) return s + "absent";
  for (const char* name : {"IconSize", "Language", "WMPApplication"}) {
    auto v = r.getValue(key, name);
    s += std::string(name) + "=" + (v ? show(*v) : "none") + (std::string(name) == "WMPApplication" ? "" : ", ");
  }
  return s;
}

void Runner::screenshot(const Line& l) {
  int scale = l.has("scale") ? static_cast<int>(l.number("scale")) : 1;
  const std::filesystem::path file = outputFile(s_, l["FILE"]);
  wince::writePng(settledScreen(s_, nested_ > 0), file, scale);
  out_ << "screenshot: " << file.string() << "\n";
}

// One step of a story: the screen as it is now, with its caption, and what
// the player received and the settings became since the step before. The
// screen is kept as its PNG (some kilobytes, where its pixels take 300) for
// the contact sheet.
void Runner::takeStep(const Line& l) {
  const std::string& caption = l["CAPTION"];
  const wince::Screen& screen = settledScreen(s_, nested_ > 0);
  SheetFrame frame{caption, screen.width, screen.height, wince::encodePng(screen.width, screen.height, screen.pixels.data())};
  wince::writeFileAtomically(outputFile(s_, stepFileName(frames_.size() + 1, caption)), frame.png);
  frames_.push_back(std::move(frame));
  out_ << "step " << frames_.size() << ": " << caption << "\n";
  transcript_ << "step " << frames_.size() << ": " << caption << "\n";
  transcript_ << received_.str();
  received_.str("");
  std::string settings = settingsText();
  if (settings != lastSettings_) {
    transcript_ << "  registry: " << settings << "\n";
    lastSettings_ = settings;
  }
}

void Runner::sheet(const Line& l) {
  std::vector<const SheetFrame*> chosen;
  for (const std::string& word : l.rest) {
    long long n = readNumber(word, "a step number", 1, 10000);
    if (n > static_cast<long long>(frames_.size()))
      throw ScriptError("there is no step " + word + " (the steps so far: 1 to " + std::to_string(frames_.size()) + ")");
    chosen.push_back(&frames_[static_cast<size_t>(n - 1)]);
  }
  if (l.rest.empty())
    for (const SheetFrame& f : frames_) chosen.push_back(&f);
  // A sheet of nothing would be announced and never written.
  if (chosen.empty()) throw ScriptError("expected steps for the contact sheet (take them with step CAPTION), found none");
  const std::filesystem::path file = outputFile(s_, l["FILE"]);
  writeContactSheet(l["TITLE"], chosen, l.rest.empty() ? 4 : static_cast<int>(chosen.size()), file);
  out_ << "contact sheet: " << file.string() << "\n";
}

// The whole run so far: the steps, then what came after the last one (or
// with no step, everything), when anything did.
void Runner::transcript(const Line& l) {
  const std::filesystem::path file = outputFile(s_, l["FILE"]);
  std::string text = transcript_.str();
  std::string tail = received_.str();
  const std::string settings = settingsText();
  if (settings != lastSettings_) tail += "  registry: " + settings + "\n";
  if (!tail.empty())
    text += (frames_.empty() ? std::string("from the start:\n") : "after step " + std::to_string(frames_.size()) + ":\n") + tail;
  wince::writeFileAtomically(file, text);
  out_ << "transcript: " << file.string() << "\n";
}

void Runner::echo(const Line& l) {
  for (size_t i = 0; i < l.rest.size(); ++i) out_ << (i > 0 ? " " : "") << l.rest[i];
  out_ << "\n";
}

}  // namespace crestune::script
