// The scratch file of a tileset's waiting buildings, and its records.

#include "write/tiles/TileScratch.h"

#include <cstdio>
#include <cstring>
#include <type_traits>

namespace Ostrel::Buildings {

namespace {

// A record's bytes: fixed-size values as they are in memory (the file is read back by the same
// run), a vector or a string as its length, then its elements.
struct Out {
  std::string bytes;

  template <typename T>
  void value(const T& i_value) {
    static_assert(std::is_trivially_copyable_v<T>);
    bytes.append(reinterpret_cast<const char*>(&i_value), sizeof(T));
  }
  template <typename T>
  void values(const std::vector<T>& i_values) {
    static_assert(std::is_trivially_copyable_v<T>);
    value<std::uint64_t>(i_values.size());
    bytes.append(reinterpret_cast<const char*>(i_values.data()), i_values.size() * sizeof(T));
  }
  void text(const std::string& i_text) {
    value<std::uint64_t>(i_text.size());
    bytes += i_text;
  }
  void feature(const GltfFeature& i_feature) {
    text(i_feature.id);
    text(i_feature.style);
    text(i_feature.roof);
    value(i_feature.storeys);
    value(i_feature.height);
  }
};

struct In {
  const std::string& bytes;
  std::size_t at = 0;
  bool good = true;

  template <typename T>
  void value(T& o_value) {
    static_assert(std::is_trivially_copyable_v<T>);
    if (!good || bytes.size() - at < sizeof(T)) {
      good = false;
      return;
    }
    std::memcpy(&o_value, bytes.data() + at, sizeof(T));
    at += sizeof(T);
  }
  // The count of elements of i_size bytes that follows, when that many are there.
  std::size_t count(std::size_t i_size) {
    std::uint64_t n = 0;
    value(n);
    if (!good || n > (bytes.size() - at) / i_size) {
      good = false;
      return 0;
    }
    return static_cast<std::size_t>(n);
  }
  template <typename T>
  void values(std::vector<T>& o_values) {
    static_assert(std::is_trivially_copyable_v<T>);
    o_values.resize(count(sizeof(T)));
    if (o_values.empty()) return;
    std::memcpy(o_values.data(), bytes.data() + at, o_values.size() * sizeof(T));
    at += o_values.size() * sizeof(T);
  }
  void text(std::string& o_text) {
    const std::size_t n = count(1);
    o_text.assign(bytes, good ? at : 0, n);
    at += n;
  }
  void feature(GltfFeature& o_feature) {
    text(o_feature.id);
    text(o_feature.style);
    text(o_feature.roof);
    value(o_feature.storeys);
    value(o_feature.height);
  }
};

}  // namespace

std::string RecordOf(const TileBuilding& i_building) {
  Out out;
  out.value<std::uint64_t>(i_building.plan.blocks.size());
  for (const Block& block : i_building.plan.blocks) {
    out.value(block.repeats);
    out.value<std::uint64_t>(block.runs.size());
    for (const Run& run : block.runs) {
      out.values(run.period);
      for (const std::int64_t n : {run.repeats, run.dx, run.dz, run.bx, run.bz, run.blevel, run.bstep, run.shrink})
        out.value(n);
    }
  }
  out.value<std::uint64_t>(i_building.plan.choices.size());
  for (const Choice& choice : i_building.plan.choices) {
    out.values(choice.forms);
    out.value(choice.key);
    out.value(choice.byCell);
  }
  out.value(i_building.frame);
  out.text(i_building.name);
  out.feature(i_building.feature);
  return std::move(out.bytes);
}

bool ReadRecord(const std::string& i_bytes, TileBuilding& o_building) {
  In in{i_bytes};
  // The smallest block and run, so that a count is checked against the bytes left.
  o_building.plan.blocks.resize(in.count(16));
  for (Block& block : o_building.plan.blocks) {
    in.value(block.repeats);
    block.runs.resize(in.count(72));
    for (Run& run : block.runs) {
      in.values(run.period);
      for (std::int64_t* n : {&run.repeats, &run.dx, &run.dz, &run.bx, &run.bz, &run.blevel, &run.bstep, &run.shrink})
        in.value(*n);
    }
  }
  o_building.plan.choices.resize(in.count(17));
  for (Choice& choice : o_building.plan.choices) {
    in.values(choice.forms);
    in.value(choice.key);
    in.value(choice.byCell);
  }
  in.value(o_building.frame);
  in.text(o_building.name);
  in.feature(o_building.feature);
  return in.good && in.at == i_bytes.size();
}

std::string RecordOf(const FarBuilding& i_building) {
  Out out;
  const ExtraMesh& mesh = i_building.extras.levels.at(0);
  out.value<std::uint64_t>(mesh.parts.size());
  for (const ExtraPart& part : mesh.parts) {
    out.value(part.material);
    out.values(part.positions);
    out.values(part.normals);
    out.values(part.indices);
    out.values(part.uvs);
    out.values(part.tangents);
  }
  out.value(i_building.frame);
  out.text(i_building.name);
  out.feature(i_building.feature);
  out.value(i_building.error);
  return std::move(out.bytes);
}

bool ReadRecord(const std::string& i_bytes, FarBuilding& o_building) {
  In in{i_bytes};
  o_building.extras = EngineExtras();
  o_building.extras.levels.emplace_back();
  ExtraMesh& mesh = o_building.extras.levels[0];
  // The smallest part: its material and five empty vectors.
  mesh.parts.resize(in.count(44));
  for (ExtraPart& part : mesh.parts) {
    in.value(part.material);
    in.values(part.positions);
    in.values(part.normals);
    in.values(part.indices);
    in.values(part.uvs);
    in.values(part.tangents);
  }
  in.value(o_building.frame);
  in.text(o_building.name);
  in.feature(o_building.feature);
  in.value(o_building.error);
  return in.good && in.at == i_bytes.size();
}

bool ScratchFile::open(const std::string& i_path) {
  close();
  m_file.open(i_path, std::ios::in | std::ios::out | std::ios::binary | std::ios::trunc);
  if (!m_file) return false;
  m_path = i_path;
  // Where an open file cannot be removed, it goes when closed.
  if (std::remove(i_path.c_str()) == 0) m_path.clear();
  m_end = 0;
  return true;
}

void ScratchFile::close() {
  if (m_file.is_open()) m_file.close();
  if (!m_path.empty()) std::remove(m_path.c_str());
  m_path.clear();
}

bool ScratchFile::put(const std::string& i_bytes, ScratchRecord& o_record) {
  m_file.seekp(static_cast<std::streamoff>(m_end));
  m_file.write(i_bytes.data(), static_cast<std::streamsize>(i_bytes.size()));
  if (!m_file) return false;
  o_record = {m_end, i_bytes.size()};
  m_end += i_bytes.size();
  return true;
}

bool ScratchFile::get(const ScratchRecord& i_record, std::string& o_bytes) {
  o_bytes.resize(static_cast<std::size_t>(i_record.bytes));
  m_file.seekg(static_cast<std::streamoff>(i_record.offset));
  m_file.read(o_bytes.data(), static_cast<std::streamsize>(o_bytes.size()));
  return static_cast<bool>(m_file);
}

}  // namespace Ostrel::Buildings
