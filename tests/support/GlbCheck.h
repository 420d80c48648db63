#pragma once
// A check of a glTF document against its GLB binary chunk, for the tests and fuzzers of the
// glTF writers: every buffer view, accessor and image lies inside the chunk, aligned as glTF
// requires, and every reference names an element that exists.

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

namespace Glb {

namespace check {

using Json = nlohmann::json;

// o_value = i_value when that is a whole number of at least 0.
inline bool AsCount(const Json& i_value, std::uint64_t& o_value) {
  if (i_value.is_number_unsigned()) {
    o_value = i_value.get<std::uint64_t>();
    return true;
  }
  if (!i_value.is_number_integer() || i_value.get<std::int64_t>() < 0) return false;
  o_value = static_cast<std::uint64_t>(i_value.get<std::int64_t>());
  return true;
}

// o_value = i_object[i_key] when that is a whole number of at least 0; i_default when absent.
inline bool GetCount(const Json& i_object, const char* i_key, std::uint64_t& o_value,
                     std::uint64_t i_default) {
  const auto it = i_object.find(i_key);
  o_value = i_default;
  return it == i_object.end() || AsCount(*it, o_value);
}

// True when i_value is an index below i_size.
inline bool IndexWithin(const Json& i_value, std::size_t i_size) {
  std::uint64_t index = 0;
  return AsCount(i_value, index) && index < i_size;
}

// The array i_document[i_key], or i_empty when absent; null when it is not an array.
inline const Json* ArrayOf(const Json& i_document, const char* i_key, const Json& i_empty) {
  const auto it = i_document.find(i_key);
  if (it == i_document.end()) return &i_empty;
  return it->is_array() ? &*it : nullptr;
}

// True when i_object[i_key] is absent (and optional) or an index below i_size.
inline bool RefersWithin(const Json& i_object, const char* i_key, std::size_t i_size, bool i_optional) {
  const auto it = i_object.find(i_key);
  if (it == i_object.end()) return i_optional;
  return IndexWithin(*it, i_size);
}

inline std::uint64_t ComponentBytes(std::uint64_t i_componentType) {
  switch (i_componentType) {
    case 5120:  // BYTE
    case 5121:  // UNSIGNED_BYTE
      return 1;
    case 5122:  // SHORT
    case 5123:  // UNSIGNED_SHORT
      return 2;
    case 5125:  // UNSIGNED_INT
    case 5126:  // FLOAT
      return 4;
    default:
      return 0;
  }
}

inline std::uint64_t ComponentCount(const Json& i_type) {
  if (!i_type.is_string()) return 0;
  const std::string& type = i_type.get_ref<const std::string&>();
  if (type == "SCALAR") return 1;
  if (type == "VEC2") return 2;
  if (type == "VEC3") return 3;
  if (type == "VEC4" || type == "MAT2") return 4;
  if (type == "MAT3") return 9;
  if (type == "MAT4") return 16;
  return 0;
}

inline std::string CheckBufferViews(const Json& i_views, std::uint64_t i_bufferBytes) {
  for (std::size_t i = 0; i < i_views.size(); ++i) {
    const Json& view = i_views[i];
    const std::string name = "bufferViews[" + std::to_string(i) + "]";
    std::uint64_t offset = 0, length = 0, stride = 0;
    if (!view.is_object() || !RefersWithin(view, "buffer", 1, false)) return name + " names no buffer";
    if (!GetCount(view, "byteOffset", offset, 0) || !GetCount(view, "byteLength", length, 0) || length == 0 ||
        !GetCount(view, "byteStride", stride, 0)) {
      return name + " has no valid byteOffset, byteLength or byteStride";
    }
    if (offset > i_bufferBytes || length > i_bufferBytes - offset)
      return name + " passes the end of the buffer";
    if (stride != 0 && (stride < 4 || stride > 252 || stride % 4 != 0)) return name + " has a bad byteStride";
  }
  return std::string();
}

inline std::string CheckAccessors(const Json& i_accessors, const Json& i_views) {
  for (std::size_t i = 0; i < i_accessors.size(); ++i) {
    const Json& accessor = i_accessors[i];
    const std::string name = "accessors[" + std::to_string(i) + "]";
    std::uint64_t componentType = 0, count = 0, offset = 0;
    if (!accessor.is_object() || !GetCount(accessor, "componentType", componentType, 0) ||
        !GetCount(accessor, "count", count, 0) || !GetCount(accessor, "byteOffset", offset, 0)) {
      return name + " has no valid componentType, count or byteOffset";
    }
    const std::uint64_t component = ComponentBytes(componentType);
    const auto type = accessor.find("type");
    const std::uint64_t components = type == accessor.end() ? 0 : ComponentCount(*type);
    if (component == 0 || components == 0 || count == 0)
      return name + " has a bad type, componentType or count";
    if (!RefersWithin(accessor, "bufferView", i_views.size(), false)) return name + " names no buffer view";
    std::uint64_t viewIndex = 0;
    AsCount(accessor["bufferView"], viewIndex);
    const Json& view = i_views[static_cast<std::size_t>(viewIndex)];
    std::uint64_t viewOffset = 0, viewLength = 0, stride = 0;
    GetCount(view, "byteOffset", viewOffset, 0);
    GetCount(view, "byteLength", viewLength, 0);
    GetCount(view, "byteStride", stride, 0);
    const std::uint64_t element = component * components;
    if (stride == 0) stride = element;
    if ((viewOffset + offset) % component != 0) return name + " is not aligned to its component size";
    // count - 1 strides and one element; counts are far below 2^32 in any file that fits.
    if (count > 0xFFFFFFFFu || offset > viewLength || (count - 1) * stride + element > viewLength - offset) {
      return name + " passes the end of its buffer view";
    }
  }
  return std::string();
}

// Every accessor named by the object's attributes (and, with i_indices, by its "indices").
inline bool AttributesWithin(const Json& i_owner, std::size_t i_accessors) {
  const auto attributes = i_owner.find("attributes");
  if (attributes == i_owner.end() || !attributes->is_object()) return false;
  for (const Json& index : *attributes) {
    if (!IndexWithin(index, i_accessors)) return false;
  }
  return true;
}

inline std::string CheckMeshes(const Json& i_meshes, std::size_t i_accessors, std::size_t i_materials) {
  for (std::size_t i = 0; i < i_meshes.size(); ++i) {
    const std::string name = "meshes[" + std::to_string(i) + "]";
    const Json& mesh = i_meshes[i];
    const auto primitives = mesh.is_object() ? mesh.find("primitives") : mesh.end();
    if (!mesh.is_object() || primitives == mesh.end() || !primitives->is_array() || primitives->empty())
      return name + " has no primitives";
    for (const Json& primitive : *primitives) {
      if (!primitive.is_object() || !AttributesWithin(primitive, i_accessors) ||
          !RefersWithin(primitive, "indices", i_accessors, true) ||
          !RefersWithin(primitive, "material", i_materials, true)) {
        return name + " has a primitive that names a missing accessor or material";
      }
    }
  }
  return std::string();
}

inline std::string CheckNodes(const Json& i_nodes, std::size_t i_meshes, std::size_t i_accessors) {
  for (std::size_t i = 0; i < i_nodes.size(); ++i) {
    const std::string name = "nodes[" + std::to_string(i) + "]";
    const Json& node = i_nodes[i];
    if (!node.is_object() || !RefersWithin(node, "mesh", i_meshes, true))
      return name + " names a missing mesh";
    const auto children = node.find("children");
    if (children != node.end()) {
      if (!children->is_array()) return name + " has children that are not a list";
      for (const Json& child : *children) {
        if (!IndexWithin(child, i_nodes.size())) return name + " names a missing child";
      }
    }
    const auto extensions = node.find("extensions");
    if (extensions == node.end() || !extensions->is_object()) continue;
    const auto instancing = extensions->find("EXT_mesh_gpu_instancing");
    if (instancing != extensions->end() && !AttributesWithin(*instancing, i_accessors))
      return name + " has instance attributes that name a missing accessor";
  }
  return std::string();
}

inline std::string CheckMaterials(const Json& i_document) {
  const Json none = Json::array();
  const Json* materials = ArrayOf(i_document, "materials", none);
  const Json* textures = ArrayOf(i_document, "textures", none);
  const Json* images = ArrayOf(i_document, "images", none);
  const Json* views = ArrayOf(i_document, "bufferViews", none);
  if (!materials || !textures || !images || !views) return "materials, textures or images are not lists";
  for (const Json& material : *materials) {
    if (!material.is_object()) return "a material is not an object";
    const auto pbr = material.find("pbrMetallicRoughness");
    if (pbr == material.end()) continue;
    const auto color = pbr->is_object() ? pbr->find("baseColorTexture") : pbr->end();
    if (color != pbr->end() &&
        (!color->is_object() || !RefersWithin(*color, "index", textures->size(), false)))
      return "a material names a missing texture";
  }
  for (const Json& texture : *textures) {
    if (!texture.is_object() || !RefersWithin(texture, "source", images->size(), true))
      return "a texture names a missing image";
  }
  for (const Json& image : *images) {
    if (!image.is_object() || !RefersWithin(image, "bufferView", views->size(), false))
      return "an image names a missing buffer view";
  }
  return std::string();
}

}  // namespace check

// Checks the JSON of a GLB against its binary chunk of i_binBytes (padding included): buffer 0
// is that chunk, every buffer view lies inside its buffer, every accessor inside its buffer view
// and aligned to its component size, and every reference (accessor, buffer view, mesh, node,
// material, texture, image) names an element that exists. Empty when all holds, otherwise the
// first fault found. The document is read as it is: no element is assumed to be of its type.
inline std::string CheckGlbLayout(const nlohmann::json& i_document, std::uint64_t i_binBytes) {
  using check::ArrayOf;
  if (!i_document.is_object()) return "the JSON is not an object";
  const auto asset = i_document.find("asset");
  if (asset == i_document.end() || !asset->is_object() || asset->value("version", nlohmann::json()) != "2.0")
    return "no asset version 2.0";
  const nlohmann::json none = nlohmann::json::array();
  const nlohmann::json* buffers = ArrayOf(i_document, "buffers", none);
  const nlohmann::json* views = ArrayOf(i_document, "bufferViews", none);
  const nlohmann::json* accessors = ArrayOf(i_document, "accessors", none);
  const nlohmann::json* meshes = ArrayOf(i_document, "meshes", none);
  const nlohmann::json* nodes = ArrayOf(i_document, "nodes", none);
  const nlohmann::json* materials = ArrayOf(i_document, "materials", none);
  if (!buffers || !views || !accessors || !meshes || !nodes || !materials)
    return "a top-level list is not a list";
  std::uint64_t bufferBytes = 0;
  if (buffers->size() > 1) return "more than one buffer";
  if (buffers->size() == 1) {
    const nlohmann::json& buffer = (*buffers)[0];
    if (!buffer.is_object() || buffer.contains("uri")) return "buffer 0 is not the binary chunk";
    if (!check::GetCount(buffer, "byteLength", bufferBytes, 0) || bufferBytes > i_binBytes ||
        i_binBytes - bufferBytes > 3) {
      return "buffer 0 is not as long as the binary chunk";
    }
  }
  std::string fault = check::CheckBufferViews(*views, bufferBytes);
  if (fault.empty()) fault = check::CheckAccessors(*accessors, *views);
  if (fault.empty()) fault = check::CheckMeshes(*meshes, accessors->size(), materials->size());
  if (fault.empty()) fault = check::CheckNodes(*nodes, meshes->size(), accessors->size());
  if (fault.empty()) fault = check::CheckMaterials(i_document);
  return fault;
}

}  // namespace Glb
