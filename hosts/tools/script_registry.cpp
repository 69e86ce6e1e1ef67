// Script commands on the device's registry: reg set, delete, check and dump,
// and item register, with the checks of a value's words.
#include <algorithm>
#include <cstring>
#include <ostream>

#include "script_runner.h"
#include "today.h"

namespace crestune::script {

namespace {

// The value name of a line: @ names the key's default value.
std::string valueName(const Line& l) { return l["NAME"] == "@" ? "" : l["NAME"]; }

// The data the line's type and value give, before any `size N` padding.
wince::RegistryStore::Value unpadded(const Line& l) {
  const std::string& type = l.words[4];
  if (type == "dword")
    return {REG_DWORD, wince::RegistryStore::dwordBytes(static_cast<DWORD>(l.number("N")))};
  if (type == "sz") return {REG_SZ, wince::RegistryStore::stringBytes(l["TEXT"])};
  wince::RegistryStore::Value v{REG_BINARY, {}};
  const std::string& hex = l["BYTES"];
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    v.bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return v;
}

}  // namespace

wince::RegistryStore::Value valueOf(const Line& l) {
  wince::RegistryStore::Value v = unpadded(l);
  if (l.has("size")) v.bytes.resize(static_cast<size_t>(l.number("size")), 0);
  return v;
}

// `size N` pads the data; it never cuts it short.
void sizeHoldsData(const Line& l) {
  if (!l.has("size")) return;
  size_t data = unpadded(l).bytes.size();
  if (static_cast<size_t>(l.number("size")) < data)
    throw ScriptError("expected a size of at least " + std::to_string(data) + " (the " + l.words[4] +
                      " value's own bytes), found " + l["size"]);
}

void keyIsNoRoot(const Line& l) {
  if (!l.rest.empty()) return;
  if (wince::RegistryStore::parseKeyPath(l["KEY"]).subKey.empty())
    throw ScriptError("expected a key below a root (a root key cannot be deleted), found " + l["KEY"]);
}

std::string Runner::show(const wince::RegistryStore::Value& v) {
  std::string s;
  if (v.type == REG_DWORD && v.bytes.size() == 4) {
    DWORD d;
    std::memcpy(&d, v.bytes.data(), 4);
    s = "dword " + std::to_string(d);
  } else if (v.type == REG_SZ) {
    s = "sz \"" + wince::narrow(wince::RegistryStore::textOf(v.bytes)) + "\"";
  } else {
    s = "type " + std::to_string(v.type);
  }
  return s + " size " + std::to_string(v.bytes.size());
}

void Runner::regSet(const Line& l) {
  auto v = valueOf(l);
  s_.device().registry().setValue(l["KEY"], valueName(l), v.type, v.bytes);
}

void Runner::regDelete(const Line& l) {
  auto& r = s_.device().registry();
  if (l.rest.empty())
    r.deleteKey(l["KEY"]);
  else
    r.deleteValue(l["KEY"], l.rest[0] == "@" ? "" : l.rest[0]);
}

void Runner::regCheckValue(const Line& l) {
  const std::string name = valueName(l);
  auto found = s_.device().registry().getValue(l["KEY"], name);
  auto want = valueOf(l);
  if (!found) throw ScriptError("expected " + name + " = " + show(want) + ", found no such value");
  // Without `size` the value's data begins with the line's data (a string
  // kept in a larger buffer still reads the same); a dword is 4 bytes.
  bool same = found->type == want.type &&
              (l.has("size") ? found->bytes == want.bytes
                             : std::equal(want.bytes.begin(), want.bytes.end(), found->bytes.begin(),
                                          found->bytes.begin() + std::min(found->bytes.size(), want.bytes.size())) &&
                                   (want.type != REG_DWORD || found->bytes.size() == 4));
  if (!same) throw ScriptError("expected " + name + " = " + show(want) + ", found " + show(*found));
}

void Runner::regCheckMissing(const Line& l) {
  const std::string name = valueName(l);
  auto found = s_.device().registry().getValue(l["KEY"], name);
  if (found) throw ScriptError("expected " + name + " missing, found " + show(*found));
}

void Runner::regCheckKey(const Line& l) {
  const std::string& want = l.words[3];
  bool exists = s_.device().registry().keyExists(l["KEY"]);
  if (exists != (want == "present"))
    throw ScriptError("expected key " + l["KEY"] + " " + want + ", found it " + (exists ? "present" : "missing"));
}

void Runner::regDump(const Line&) { out_ << s_.device().registry().exportText(); }

void Runner::failCall(const Line& l) {
  auto option = [&](const char* name, long long otherwise) { return l.has(name) ? l.number(name) : otherwise; };
  s_.device().faults().add(l["CALL"], static_cast<DWORD>(option("error", 0)), static_cast<int>(option("times", 1)),
                           static_cast<int>(option("after", 0)));
}

void Runner::failClear(const Line&) { s_.device().faults().clear(); }

void Runner::itemRegister(const Line& l) {
  auto flag = [&](const char* option, DWORD otherwise) {
    return l.has(option) ? static_cast<DWORD>(l.number(option)) : otherwise;
  };
  registerTodayItem(s_.device().registry(), l["NAME"], l["DLL"], flag("enabled", 1), flag("order", 10),
                    flag("options", 1));
}

}  // namespace crestune::script
