#include "standin/design/design.h"

#include <algorithm>
#include <vector>

namespace host {

Element* Model::FindElement(uint64_t id) const {
  for (const auto& element : elements)
    if (element->id == id) return element.get();
  return nullptr;
}

uint64_t Model::NextElementId() const {
  for (; m_idsSeen < elements.size(); ++m_idsSeen)
    m_highestId = std::max(m_highestId, elements[m_idsSeen]->id);
  return m_highestId + 1;
}

uint64_t Model::FreeElementId() const {
  if (uint64_t next = NextElementId(); next != 0) return next;
  std::vector<uint64_t> ids;
  ids.reserve(elements.size());
  for (const auto& element : elements) ids.push_back(element->id);
  std::sort(ids.begin(), ids.end());
  uint64_t candidate = 1;
  for (uint64_t id : ids) {
    if (id > candidate) return candidate;
    if (id == candidate) ++candidate;
    if (candidate == 0) return 0;  // passed the highest id: every id is taken
  }
  return candidate;
}

Model* DesignFile::FindModel(const std::string& name) const {
  for (const auto& model : models)
    if (model->name == name) return model.get();
  return nullptr;
}

Model* DesignFile::ActiveModel() const {
  if (Model* model = FindModel(activeModel)) return model;
  return models.empty() ? nullptr : models.front().get();
}

const Level* DesignFile::FindLevel(uint32_t id) const {
  for (const auto& level : levels)
    if (level.id == id) return &level;
  return nullptr;
}

const ClassDef* DesignFile::FindClass(const std::string& name) const {
  for (const auto& cls : classes)
    if (cls.name == name) return &cls;
  return nullptr;
}

const std::array<Rgb, 256>& DefaultColorTable() {
  static const std::array<Rgb, 256> table = [] {
    std::array<Rgb, 256> t{};
    const Rgb first[8] = {{255, 255, 255}, {0, 0, 255},   {0, 255, 0},   {255, 0, 0},
                          {255, 255, 0},   {255, 0, 255}, {255, 127, 0}, {0, 255, 255}};
    for (int i = 0; i < 8; ++i) t[i] = first[i];
    // The rest: a spread over a 6x6x6 cube, then greys, so that every id has a colour.
    for (int i = 8; i < 256; ++i) {
      int k = i - 8;
      if (k < 216) {
        t[i] = {static_cast<uint8_t>((k / 36) * 51), static_cast<uint8_t>(((k / 6) % 6) * 51),
                static_cast<uint8_t>((k % 6) * 51)};
      } else {
        auto grey = static_cast<uint8_t>((k - 216) * 255 / 31);
        t[i] = {grey, grey, grey};
      }
    }
    return t;
  }();
  return table;
}

std::unique_ptr<DesignFile> NewDesignFile() {
  auto file = std::make_unique<DesignFile>();
  file->levels.push_back(Level{kDefaultLevelId, "Default", 0});
  file->colorTable = DefaultColorTable();
  return file;
}

}  // namespace host
