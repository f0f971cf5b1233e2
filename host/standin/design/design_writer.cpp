#include "standin/design/design_writer.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "standin/files/file_system.h"
#include "standin/files/paths.h"
#include "standin/files/system.h"

namespace host {
namespace {

const char* typeName(ElementType type) {
  switch (type) {
    case ElementType::Line:
      return "line";
    case ElementType::LineString:
      return "linestring";
    case ElementType::Text:
      return "text";
    case ElementType::Shape:
      return "shape";
    case ElementType::Mesh:
      return "mesh";
    case ElementType::Extrusion:
      return "extrusion";
    case ElementType::Cone:
      return "cone";
    case ElementType::Sphere:
      return "sphere";
    case ElementType::Cell:
      return "cell";
  }
  return "line";
}

void appendString(const std::string& text, std::string* out) {
  out->push_back('"');
  for (char c : text) {
    switch (c) {
      case '"':
        *out += "\\\"";
        break;
      case '\\':
        *out += "\\\\";
        break;
      case '\n':
        *out += "\\n";
        break;
      case '\t':
        *out += "\\t";
        break;
      case '\r':
        *out += "\\r";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned char>(c));
          *out += escape;
        } else {
          out->push_back(c);
        }
    }
  }
  out->push_back('"');
}

// The shortest text that reads back as the same double; whole numbers are written out in
// digits (200000, not 2e+05). Negative zero is written as 0 so that a design written twice
// reads the same.
void appendNumber(double value, std::string* out) {
  char buffer[32];
  std::to_chars_result result;
  if (value == std::trunc(value) && std::fabs(value) < 1e15)
    result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<int64_t>(value));
  else
    result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out->append(buffer, result.ptr);
}

// A real property value keeps a point or exponent so that it reads back as a real, not an
// integer.
void appendReal(double value, std::string* out) {
  size_t start = out->size();
  appendNumber(value, out);
  if (out->find_first_of(".e", start) == std::string::npos) *out += ".0";
}

template <typename Integer>
void appendInteger(Integer value, std::string* out) {
  char buffer[24];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out->append(buffer, result.ptr);
}

void appendKey(const char* key, std::string* out) {
  *out += ", \"";
  *out += key;
  *out += "\": ";
}

void appendPoint(const DPoint3d& point, std::string* out) {
  out->push_back('[');
  appendNumber(point.x, out);
  *out += ", ";
  appendNumber(point.y, out);
  *out += ", ";
  appendNumber(point.z, out);
  out->push_back(']');
}

void appendPoints(const std::vector<DPoint3d>& points, std::string* out) {
  out->push_back('[');
  for (size_t i = 0; i < points.size(); ++i) {
    if (i) *out += ", ";
    appendPoint(points[i], out);
  }
  out->push_back(']');
}

void appendRgb(const Rgb& rgb, std::string* out) {
  *out += "[";
  appendInteger(rgb.red, out);
  *out += ", ";
  appendInteger(rgb.green, out);
  *out += ", ";
  appendInteger(rgb.blue, out);
  *out += "]";
}

void appendValue(const PropertyValue& value, std::string* out) {
  if (auto* text = std::get_if<std::string>(&value)) appendString(*text, out);
  if (auto* integer = std::get_if<int64_t>(&value)) appendInteger(*integer, out);
  if (auto* real = std::get_if<double>(&value)) appendReal(*real, out);
  if (auto* flag = std::get_if<bool>(&value)) *out += *flag ? "true" : "false";
  if (auto* point = std::get_if<DPoint3d>(&value)) appendPoint(*point, out);
}

void appendInstances(const std::vector<Instance>& instances, std::string* out) {
  appendKey("instances", out);
  out->push_back('[');
  for (size_t i = 0; i < instances.size(); ++i) {
    *out += i ? ", { \"class\": " : "{ \"class\": ";
    appendString(instances[i].className, out);
    *out += ", \"values\": {";
    bool first = true;
    for (const auto& [name, value] : instances[i].values) {
      *out += first ? " " : ", ";
      first = false;
      appendString(name, out);
      *out += ": ";
      appendValue(value, out);
    }
    *out += first ? "} }" : " } }";
  }
  out->push_back(']');
}

void appendCommon(const Element& element, std::string* out) {
  if (element.color == kByLevelColor) {
    *out += ", \"color\": \"bylevel\"";
  } else if (element.color != 0) {
    appendKey("color", out);
    appendInteger(element.color, out);
  }
  if (element.level != kDefaultLevelId) {
    appendKey("level", out);
    appendInteger(element.level, out);
  }
  if (element.transparency != 0) {
    appendKey("transparency", out);
    appendNumber(element.transparency, out);
  }
  if (element.invisible) *out += ", \"invisible\": true";
  if (element.storedRange) {
    appendKey("range", out);
    const DRange3d& range = *element.storedRange;
    const double corners[6] = {range.low.x,  range.low.y,  range.low.z,
                               range.high.x, range.high.y, range.high.z};
    for (int i = 0; i < 6; ++i) {
      *out += i ? ", " : "[";
      appendNumber(corners[i], out);
    }
    out->push_back(']');
  }
}

void appendGeometry(const Element& element, std::string* out) {
  switch (element.type) {
    case ElementType::Line:
    case ElementType::LineString:
    case ElementType::Shape:
      appendKey("points", out);
      appendPoints(element.points, out);
      break;
    case ElementType::Text:
      appendKey("origin", out);
      appendPoint(element.origin, out);
      appendKey("text", out);
      appendString(element.text, out);
      break;
    case ElementType::Mesh:
      appendKey("points", out);
      appendPoints(element.points, out);
      appendKey("faces", out);
      out->push_back('[');
      for (size_t f = 0; f < element.faces.size(); ++f) {
        *out += f ? ", [" : "[";
        for (size_t k = 0; k < element.faces[f].size(); ++k) {
          if (k) *out += ", ";
          appendInteger(element.faces[f][k], out);
        }
        out->push_back(']');
      }
      out->push_back(']');
      break;
    case ElementType::Extrusion:
      appendKey("profile", out);
      appendPoints(element.profile, out);
      appendKey("vector", out);
      appendPoint(element.vector, out);
      break;
    case ElementType::Cone:
      appendKey("base", out);
      appendPoint(element.base, out);
      appendKey("top", out);
      appendPoint(element.top, out);
      appendKey("baseRadius", out);
      appendNumber(element.baseRadius, out);
      appendKey("topRadius", out);
      appendNumber(element.topRadius, out);
      break;
    case ElementType::Sphere:
      appendKey("center", out);
      appendPoint(element.center, out);
      appendKey("radius", out);
      appendNumber(element.radius, out);
      break;
    case ElementType::Cell:
      appendKey("name", out);
      appendString(element.cellName, out);
      if (!element.transform.IsIdentity()) {
        appendKey("transform", out);
        for (int i = 0; i < 12; ++i) {
          *out += i ? ", " : "[";
          appendNumber(element.transform.form3d[i / 4][i % 4], out);
        }
        out->push_back(']');
      }
      break;
  }
}

void appendChildren(const Element& cell, int indent, std::string* out) {
  appendKey("children", out);
  if (cell.children.empty()) {
    *out += "[]";
    return;
  }
  *out += "[\n";
  for (size_t i = 0; i < cell.children.size(); ++i) {
    if (i) *out += ",\n";
    AppendElementText(*cell.children[i], indent + 2, out);
  }
  *out += "\n";
  out->append(static_cast<size_t>(indent), ' ');
  *out += "]";
}

void appendLevels(const DesignFile& design, std::string* out) {
  *out += "  \"levels\": [\n";
  for (size_t i = 0; i < design.levels.size(); ++i) {
    const Level& level = design.levels[i];
    *out += i ? ",\n    { \"id\": " : "    { \"id\": ";
    appendInteger(level.id, out);
    *out += ", \"name\": ";
    appendString(level.name, out);
    *out += ", \"byLevelColor\": ";
    appendInteger(level.byLevelColor, out);
    *out += " }";
  }
  *out += "\n  ],\n";
}

// The table is a list from id 0: it runs to the last entry the design gave, and any entry
// between that the design didn't give is written with its effective colour.
void appendColorTable(const DesignFile& design, std::string* out) {
  int last = 255;
  while (last >= 0 && !design.colorTableGiven[last]) --last;
  if (last < 0) return;
  *out += "  \"colorTable\": [\n";
  for (int i = 0; i <= last; ++i) {
    *out += i ? ",\n    " : "    ";
    appendRgb(design.colorTable[i], out);
  }
  *out += "\n  ],\n";
}

void appendTrueColors(const DesignFile& design, std::string* out) {
  if (design.trueColors.empty()) return;
  *out += "  \"trueColors\": {";
  bool first = true;
  for (const auto& [id, rgb] : design.trueColors) {
    *out += first ? "\n    \"" : ",\n    \"";
    first = false;
    appendInteger(id, out);
    *out += "\": ";
    appendRgb(rgb, out);
  }
  *out += "\n  },\n";
}

void appendClasses(const DesignFile& design, std::string* out) {
  if (design.classes.empty()) return;
  *out += "  \"classes\": [\n";
  for (size_t i = 0; i < design.classes.size(); ++i) {
    const ClassDef& cls = design.classes[i];
    *out += i ? ",\n    { \"name\": " : "    { \"name\": ";
    appendString(cls.name, out);
    *out += ", \"label\": ";
    appendString(cls.label, out);
    *out += ", \"properties\": [";
    for (size_t k = 0; k < cls.properties.size(); ++k) {
      *out += k ? ",\n        { \"name\": " : "\n        { \"name\": ";
      appendString(cls.properties[k].name, out);
      *out += ", \"label\": ";
      appendString(cls.properties[k].label, out);
      *out += " }";
    }
    *out += cls.properties.empty() ? "] }" : "\n      ] }";
  }
  *out += "\n  ],\n";
}

void appendModel(const Model& model, std::string* out) {
  *out += "    {\n      \"name\": ";
  appendString(model.name, out);
  *out += ",\n      \"uorPerMeter\": ";
  appendNumber(model.uorPerMeter, out);
  if (!model.attachments.empty()) {
    *out += ",\n      \"attachments\": [";
    for (size_t i = 0; i < model.attachments.size(); ++i) {
      *out += i ? ",\n        { \"file\": " : "\n        { \"file\": ";
      appendString(model.attachments[i].file, out);
      if (model.attachments[i].model) {
        *out += ", \"model\": ";
        appendString(*model.attachments[i].model, out);
      }
      *out += " }";
    }
    *out += "\n      ]";
  }
  *out += ",\n      \"elements\": [";
  for (size_t i = 0; i < model.elements.size(); ++i) {
    *out += i ? ",\n" : "\n";
    AppendElementText(*model.elements[i], 8, out);
  }
  *out += model.elements.empty() ? "]\n    }" : "\n      ]\n    }";
}

}  // namespace

void AppendElementText(const Element& element, int indent, std::string* out) {
  out->append(static_cast<size_t>(indent), ' ');
  // Children of cells have no id: the first member then goes without its comma.
  if (element.id != 0) {
    *out += "{ \"id\": ";
    appendInteger(element.id, out);
    *out += ", \"type\": \"";
  } else {
    *out += "{ \"type\": \"";
  }
  *out += typeName(element.type);
  out->push_back('"');
  appendCommon(element, out);
  appendGeometry(element, out);
  if (!element.instances.empty()) appendInstances(element.instances, out);
  if (element.type == ElementType::Cell) appendChildren(element, indent, out);
  *out += " }";
}

std::string DesignToText(const DesignFile& design) {
  std::string out = "{\n";
  // A name that names no model would not read back; the first model is then the active one.
  if (const Model* active = design.ActiveModel()) {
    out += "  \"activeModel\": ";
    appendString(active->name, &out);
    out += ",\n";
  }
  appendLevels(design, &out);
  appendColorTable(design, &out);
  appendTrueColors(design, &out);
  appendClasses(design, &out);
  out += "  \"models\": [\n";
  for (size_t i = 0; i < design.models.size(); ++i) {
    if (i) out += ",\n";
    appendModel(*design.models[i], &out);
  }
  out += "\n  ]\n}\n";
  return out;
}

namespace {

// The temporary file of a save sits beside the design, so that the rename that ends the save
// stays inside one file system and so is atomic. The process id keeps two shells that save
// the same design from writing into one temporary file.
std::string temporaryPathFor(const std::string& localPath) {
  const std::string name = LocalNameOf(localPath);
  return localPath.substr(0, localPath.size() - name.size()) + "." + name + ".saving-" +
         std::to_string(CurrentProcessId());
}

// Writes text to path, makes it durable and closes it; the first failure, if any.
FileStatus writeDurably(FileSystem& files, const std::string& path, const std::string& text) {
  std::unique_ptr<WritableFile> file;
  FileStatus status = files.NewWritableFile(path, &file);
  if (!status.ok()) return status;
  status = file->Append(text);
  if (status.ok()) status = file->Sync();
  FileStatus closed = file->Close();
  return status.ok() ? closed : status;
}

}  // namespace

bool SaveDesignFile(const DesignFile& design, const std::string& localPath, std::string* error) {
  FileSystem& files = CurrentFileSystem();
  auto leftAsItWas = [&](const FileStatus& status) {
    *error =
        localPath + ": can't save the design, which is left as it was (" + status.message() + ")";
    return false;
  };
  // A design reached through a symbolic link is saved into the file the link names, so that
  // the link stays a link; its temporary file goes beside that file.
  std::string file;
  FileStatus status = ResolveLinks(files, localPath, &file);
  if (!status.ok()) return leftAsItWas(status);
  const std::string text = DesignToText(design);
  const std::string temporary = temporaryPathFor(file);
  status = writeDurably(files, temporary, text);
  if (status.ok()) status = files.RenameFile(temporary, file);
  if (!status.ok()) {
    // The design itself was never touched: only the temporary file goes.
    files.RemoveFile(temporary);
    return leftAsItWas(status);
  }
  // The new design is in place; syncing its folder makes the rename survive a power loss.
  status = files.SyncDirectory(LocalFolderOf(file));
  if (!status.ok()) {
    *error = localPath + ": the design was saved, but may not survive a power loss (" +
             status.message() + ")";
    return false;
  }
  return true;
}

}  // namespace host
