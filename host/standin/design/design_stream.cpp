#include "standin/design/design_stream.h"

#include <cmath>
#include <string>

#include "standin/design/design_stream_element.h"
#include "standin/design/design_stream_values.h"

namespace host {
namespace {

using namespace design_stream;
using json_source::Source;
using json_source::unsure;

class StreamReader {
 public:
  StreamReader(std::string_view text, DesignFile* design)
      : m_in(text), m_design(*design), m_elements(m_in, *design) {}
  void Read();

 private:
  void readRootMember(int member, bool* modelsRead, std::string* active);
  void readLevels();
  void readColorTable();
  void readTrueColors();
  void readClasses();
  PropertyDef readProperty();
  void readModel();
  Attachment readAttachment();

  Source m_in;
  DesignFile& m_design;
  ElementReader m_elements;
};

void StreamReader::Read() {
  m_in.SkipByteOrderMark();
  if (!m_in.BeginObject()) unsure();
  uint32_t seen = 0;
  bool modelsRead = false;
  std::string active;
  do {
    int member = IndexOf(
        m_in.ReadKey(), {"activeModel", "levels", "colorTable", "trueColors", "classes", "models"});
    See(&seen, member);
    readRootMember(member, &modelsRead, &active);
  } while (m_in.NextInObject());
  m_in.SkipGap();
  if (!m_in.AtEnd() || !modelsRead) unsure();
  m_design.activeModel = m_design.models.front()->name;
  if (seen & 1) {
    if (!m_design.FindModel(active)) unsure();
    m_design.activeModel = active;
  }
}

// Levels and classes, which elements refer to, must come before the models; a file that
// gives them after is left to the document reader.
void StreamReader::readRootMember(int member, bool* modelsRead, std::string* active) {
  switch (member) {
    case 0:
      *active = ReadText(m_in);
      break;
    case 1:
      if (*modelsRead) unsure();
      readLevels();
      break;
    case 2:
      readColorTable();
      break;
    case 3:
      readTrueColors();
      break;
    case 4:
      if (*modelsRead) unsure();
      readClasses();
      break;
    default:
      if (!m_in.BeginArray()) unsure();
      do readModel();
      while (m_in.NextInArray());
      *modelsRead = true;
  }
}

void StreamReader::readLevels() {
  m_design.levels.clear();
  if (m_in.BeginArray()) {
    do {
      Level level;
      uint32_t seen = 0;
      if (!m_in.BeginObject()) unsure();
      do {
        int member = IndexOf(m_in.ReadKey(), {"id", "name", "byLevelColor"});
        See(&seen, member);
        if (member == 0) level.id = ReadUInt32(m_in);
        if (member == 1) level.name = ReadName(m_in);
        if (member == 2) level.byLevelColor = ReadUInt32(m_in);
      } while (m_in.NextInObject());
      if ((seen & 3) != 3 || m_design.FindLevel(level.id)) unsure();
      m_design.levels.push_back(std::move(level));
    } while (m_in.NextInArray());
  }
  if (!m_design.FindLevel(kDefaultLevelId))
    m_design.levels.insert(m_design.levels.begin(), Level{kDefaultLevelId, "Default", 0});
}

void StreamReader::readColorTable() {
  if (!m_in.BeginArray()) return;
  size_t index = 0;
  do {
    if (index >= m_design.colorTable.size()) unsure();
    m_design.colorTable[index] = ReadRgb(m_in);
    m_design.colorTableGiven[index++] = true;
  } while (m_in.NextInArray());
}

void StreamReader::readTrueColors() {
  if (!m_in.BeginObject()) return;
  do {
    std::string_view key = m_in.ReadKey();
    bool digits = !key.empty() && key.size() <= 10 && (key[0] != '0' || key.size() == 1) &&
                  key.find_first_not_of("0123456789") == std::string_view::npos;
    if (!digits) unsure();
    uint64_t id = std::stoull(std::string(key));
    if (id < 256 || id > 0xFFFFFFFEu) unsure();
    if (!m_design.trueColors.emplace(static_cast<uint32_t>(id), ReadRgb(m_in)).second) unsure();
  } while (m_in.NextInObject());
}

void StreamReader::readClasses() {
  if (!m_in.BeginArray()) return;
  do {
    ClassDef cls;
    uint32_t seen = 0;
    if (!m_in.BeginObject()) unsure();
    do {
      int member = IndexOf(m_in.ReadKey(), {"name", "label", "properties"});
      See(&seen, member);
      if (member == 0) cls.name = ReadName(m_in);
      if (member == 1) cls.label = ReadText(m_in);
      if (member == 2 && m_in.BeginArray()) {
        do {
          PropertyDef def = readProperty();
          for (const PropertyDef& other : cls.properties)
            if (other.name == def.name) unsure();
          cls.properties.push_back(std::move(def));
        } while (m_in.NextInArray());
      }
    } while (m_in.NextInObject());
    if (!(seen & 1) || m_design.FindClass(cls.name)) unsure();
    if (!(seen & 2)) cls.label = cls.name;
    m_design.classes.push_back(std::move(cls));
  } while (m_in.NextInArray());
}

PropertyDef StreamReader::readProperty() {
  PropertyDef def;
  uint32_t seen = 0;
  if (!m_in.BeginObject()) unsure();
  do {
    int member = IndexOf(m_in.ReadKey(), {"name", "label"});
    See(&seen, member);
    if (member == 0) def.name = ReadName(m_in);
    if (member == 1) def.label = ReadText(m_in);
  } while (m_in.NextInObject());
  if (!(seen & 1)) unsure();
  if (!(seen & 2)) def.label = def.name;
  return def;
}

void StreamReader::readModel() {
  m_design.models.push_back(std::make_unique<Model>());
  Model& model = *m_design.models.back();
  model.file = &m_design;
  uint32_t seen = 0;
  ModelIds ids;
  if (!m_in.BeginObject()) unsure();
  do {
    int member = IndexOf(m_in.ReadKey(), {"name", "uorPerMeter", "elements", "attachments"});
    See(&seen, member);
    if (member == 0) model.name = ReadName(m_in);
    if (member == 1 && !std::isnormal(model.uorPerMeter = ReadGeometry(m_in))) unsure();
    if (model.uorPerMeter <= 0) unsure();
    if (member == 2 && m_in.BeginArray()) {
      do model.elements.push_back(m_elements.Read(&ids));
      while (m_in.NextInArray());
    }
    if (member == 3 && m_in.BeginArray()) {
      do model.attachments.push_back(readAttachment());
      while (m_in.NextInArray());
    }
  } while (m_in.NextInObject());
  if (!(seen & 1) || !ids.Unique()) unsure();
  for (size_t i = 0; i + 1 < m_design.models.size(); ++i)
    if (m_design.models[i]->name == model.name) unsure();
}

Attachment StreamReader::readAttachment() {
  Attachment attachment;
  uint32_t seen = 0;
  if (!m_in.BeginObject()) unsure();
  do {
    int member = IndexOf(m_in.ReadKey(), {"file", "model"});
    See(&seen, member);
    if (member == 0) attachment.file = ReadName(m_in);
    if (member == 1) attachment.model = ReadName(m_in);
  } while (m_in.NextInObject());
  if (!(seen & 1)) unsure();
  return attachment;
}

}  // namespace

bool StreamDesign(std::string_view text, DesignFile* design) {
  try {
    StreamReader(text, design).Read();
    return true;
  } catch (const json_source::Unsure&) {
    return false;
  }
}

}  // namespace host
