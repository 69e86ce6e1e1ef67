// Cabinets through libgcab, held in memory: one uncompressed folder when
// writing, every member extracted to memory when reading.
#include "cabinet.h"

#include <libgcab.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <set>

namespace cab {

namespace {

struct Unref {
  void operator()(gpointer p) const { g_object_unref(p); }
};
template <class T>
using Owned = std::unique_ptr<T, Unref>;

struct ErrorHolder {
  GError* error = nullptr;
  ~ErrorHolder() {
    if (error) g_error_free(error);
  }
  std::string text() const { return error ? error->message : "unknown error"; }
};

struct BytesUnref {
  void operator()(GBytes* b) const { g_bytes_unref(b); }
};

// The number a member's name ends in (".001" is 1), or -1.
int numberOf(const std::string& name) {
  size_t dot = name.rfind('.');
  if (dot == std::string::npos || name.size() - dot != 4) return -1;
  int n = 0;
  for (size_t i = dot + 1; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return -1;
    n = n * 10 + (name[i] - '0');
  }
  return n;
}

}  // namespace

void writeCabinet(const std::filesystem::path& file, const std::vector<Member>& members) {
  Owned<GCabCabinet> cabinet(gcab_cabinet_new());
  GCabFolder* folder = gcab_folder_new(GCAB_COMPRESSION_NONE);
  for (const Member& m : members) {
    std::unique_ptr<GBytes, BytesUnref> bytes(g_bytes_new(m.bytes.data(), m.bytes.size()));
    Owned<GCabFile> f(gcab_file_new_with_bytes(m.name.c_str(), bytes.get()));
    // A fixed date: the same inputs make the same CAB.
    GDateTime* date = g_date_time_new_utc(2002, 1, 1, 0, 0, 0);
    gcab_file_set_date_time(f.get(), date);
    g_date_time_unref(date);
    gcab_file_set_attributes(f.get(), GCAB_FILE_ATTRIBUTE_ARCH);
    ErrorHolder e;
    if (!gcab_folder_add_file(folder, f.get(), FALSE, nullptr, &e.error)) {
      g_object_unref(folder);
      throw FormatError(file.string() + ": cannot add " + m.name + " (" + e.text() + ")");
    }
  }
  ErrorHolder e;
  bool added = gcab_cabinet_add_folder(cabinet.get(), folder, &e.error);
  g_object_unref(folder);
  if (!added) throw FormatError(file.string() + ": " + e.text());
  Owned<GFile> out(g_file_new_for_path(file.c_str()));
  Owned<GFileOutputStream> stream(
      g_file_replace(out.get(), nullptr, FALSE, G_FILE_CREATE_REPLACE_DESTINATION, nullptr, &e.error));
  if (!stream) throw FormatError(file.string() + ": cannot write the CAB (" + e.text() + ")");
  if (!gcab_cabinet_write_simple(cabinet.get(), G_OUTPUT_STREAM(stream.get()), nullptr, nullptr, nullptr, &e.error) ||
      !g_output_stream_close(G_OUTPUT_STREAM(stream.get()), nullptr, &e.error))
    throw FormatError(file.string() + ": cannot write the CAB (" + e.text() + ")");
}

std::vector<Member> readCabinet(const uint8_t* data, size_t size) {
  std::unique_ptr<GBytes, BytesUnref> bytes(g_bytes_new(data, size));
  Owned<GInputStream> in(g_memory_input_stream_new_from_bytes(bytes.get()));
  Owned<GCabCabinet> cabinet(gcab_cabinet_new());
  ErrorHolder e;
  if (!gcab_cabinet_load(cabinet.get(), in.get(), nullptr, &e.error))
    throw FormatError("it is not a CAB file (" + e.text() + ")");
  if (!gcab_cabinet_extract(cabinet.get(), nullptr, nullptr, nullptr, nullptr, nullptr, &e.error))
    throw FormatError("its members cannot be extracted (" + e.text() + ")");
  std::vector<Member> members;
  GPtrArray* folders = gcab_cabinet_get_folders(cabinet.get());
  for (guint i = 0; i < folders->len; ++i) {
    GSList* files = gcab_folder_get_files(GCAB_FOLDER(g_ptr_array_index(folders, i)));
    for (GSList* l = files; l; l = l->next) {
      GCabFile* f = GCAB_FILE(l->data);
      Member m;
      m.name = gcab_file_get_name(f);
      if (GBytes* b = gcab_file_get_bytes(f)) {
        gsize n = 0;
        auto* p = static_cast<const uint8_t*>(g_bytes_get_data(b, &n));
        m.bytes.assign(p, p + n);
      }
      members.push_back(std::move(m));
    }
    g_slist_free(files);
  }
  return members;
}

std::vector<Member> readCabinetFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::error_code ec;
  if (!in || std::filesystem::is_directory(file, ec)) throw FormatError("it cannot be read");
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return readCabinet(bytes.data(), bytes.size());
}

std::vector<Member> packageMembers(const Package& package, const std::map<unsigned, std::vector<uint8_t>>& contents,
                                   const std::map<unsigned, std::string>& names) {
  std::map<std::string, int> used;
  std::vector<Member> members;
  members.push_back({memberName(package.appName, 0, used), writeInstallScript(compose(package))});
  for (auto it = contents.rbegin(); it != contents.rend(); ++it) {
    auto name = names.find(it->first);
    members.push_back({memberName(name == names.end() ? "FILE" : name->second, it->first, used), it->second});
  }
  return members;
}

OpenedCab openCab(std::vector<Member> members) {
  OpenedCab cab;
  const Member* script = nullptr;
  for (Member& m : members) {
    int n = numberOf(m.name);
    if (n < 0) throw FormatError("its member " + m.name + " has no number as its extension");
    if (n == 0) {
      if (script) throw FormatError("it holds two install scripts, " + cab.scriptName + " and " + m.name);
      script = &m;
      cab.scriptName = m.name;
    } else if (!cab.members.emplace(n, std::move(m.bytes)).second) {
      throw FormatError("it holds two members numbered " + std::to_string(n));
    }
  }
  if (!script) throw FormatError("it holds no .000 install script");
  try {
    cab.script = readInstallScript(script->bytes);
    cab.package = resolve(cab.script);
  } catch (const FormatError& e) {
    throw FormatError("its install script " + cab.scriptName + " is damaged: " + e.what());
  }
  for (const auto& f : cab.package.files)
    if (!cab.members.count(f.number))
      throw FormatError("it has no member numbered " + std::to_string(f.number) + " for " + f.name);
  return cab;
}

}  // namespace cab
