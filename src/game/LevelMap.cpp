#include "game/LevelMap.h"

#include "game/GameSound.h"
#include "game/HudMaterials.h"
#include "game/LevelDefinition.h"
#include "game/Progress.h"
#include "scene/Scene.h"
#include "ui/ButtonNode.h"
#include "ui/ImageNode.h"
#include "ui/TextLineNode.h"

#include <algorithm>

namespace hm {

namespace {

const glm::vec3 kCream{0.96f, 0.91f, 0.77f};
const glm::vec3 kFaded{0.62f, 0.56f, 0.48f};
// A locked sign is drawn this much darker.
constexpr float kLockedShade = 0.55f;

// Where things sit on a level's sign, in the sign's own unit square (from hud/map/level.png).
constexpr float kMedallionX = 0.103f;
constexpr float kSignMiddleY = 0.53f;
constexpr float kNameX = 0.2f;
constexpr float kFirstStarX = 0.7f;
constexpr float kStarSpacing = 0.105f;
constexpr float kStarHeight = 0.6f;

// An image inside a sign that keeps the picture's shape: the sign's frame is stretched by the
// sign's own aspect ratio, so the width is the height divided by it (times the picture's).
ImageNode& signPicture(ButtonNode& sign, const std::string& name, const std::string& material,
                       const std::string& file, float x, float height) {
    auto& image = place(sign.createChild<ImageNode>(false, name), AnchorCentre, x, kSignMiddleY);
    auto picture = pictureMaterial(material, file);
    image.setMaterial(picture);
    const float signAspect = sign.imageAspect() > 0.0f ? sign.imageAspect() : 1.0f;
    image.scale(height / signAspect, height, 1.0f);
    // Clicks on the picture belong to the sign under it.
    image.setCatchesPointer(false);
    return image;
}

// The levels the map offers with their display names (each level file read once).
std::vector<std::pair<std::string, std::string>> playableWithNames(const std::vector<std::string>& campaign) {
    std::vector<std::pair<std::string, std::string>> playable;
    for (const std::string& name : campaign) {
        const LevelDefinition level = loadLevelDefinition(name);
        if (level.usable)
            playable.emplace_back(name, level.displayName.empty() ? name : level.displayName);
    }
    return playable;
}

std::vector<std::string> namesOf(const std::vector<std::pair<std::string, std::string>>& levels) {
    std::vector<std::string> names;
    for (const auto& [name, displayName] : levels)
        names.push_back(name);
    return names;
}

} // namespace

std::vector<std::string> playableLevels(const std::vector<std::string>& campaign) {
    return namesOf(playableWithNames(campaign));
}

std::vector<MapEntry> campaignMap(const std::vector<std::string>& campaign, const Progress& progress) {
    const auto playable = playableWithNames(campaign);
    const std::vector<std::string> names = namesOf(playable);
    std::vector<MapEntry> entries;
    for (const auto& [name, displayName] : playable) {
        MapEntry entry;
        entry.level = name;
        entry.displayName = displayName;
        entry.unlocked = isUnlocked(name, names, progress);
        const LevelProgress* result = progress.level(name);
        entry.stars = result ? result->stars : 0;
        entries.push_back(std::move(entry));
    }
    return entries;
}

LevelMap::LevelMap(std::vector<MapEntry> entries, ChooseCallback onChoose, BackCallback onBack)
    : Node2D("levelMap"), entries_(std::move(entries)), onChoose_(std::move(onChoose)) {
    auto& veil = place(createChild<ImageNode>(false, "mapVeil"), AnchorBottomLeft, 0.0f, 0.0f);
    veil.setMaterial(colourMaterial("mapVeil", {0.0f, 0.0f, 0.0f, 0.4f}));

    auto& board = place(createChild<ImageNode>(true, "mapBoard"), AnchorCentre, 0.5f, 0.5f);
    board.scale(kBoardHeight, kBoardHeight, 1.0f);
    board.setMaterial(pictureMaterial("mapBoard", "hud/map/panel.png"));

    // Three signs fill the space under the title; more stand closer and are drawn smaller.
    const std::size_t count = entries_.size();
    const float spacing =
        count > 1 ? std::min(0.15f, (kFirstSignY - kLowestSignY) / static_cast<float>(count - 1)) : 0.0f;
    const float height = count > 1 ? std::min(0.11f, spacing * 0.8f) : 0.11f;
    for (std::size_t i = 0; i < count; ++i)
        addSign(i, kFirstSignY - spacing * static_cast<float>(i), height);

    message_ =
        &place(createChild<TextLineNode>("mapMessage", "Oetztype", 18.0f, ""), AnchorCentre, 0.5f, kMessageY);
    message_->setColour(kCream);

    back_ = &place(createChild<ButtonNode>(true, "mapBack",
                                           [this, onBack = std::move(onBack)] {
                                               if (Scene* s = scene())
                                                   playUiClick(*s);
                                               if (onBack)
                                                   onBack();
                                           }),
                   AnchorCentre, 0.5f, kBackY);
    back_->scale(0.075f, 0.075f, 1.0f);
    back_->setMaterial(pictureMaterial("mapBack", "hud/map/butBack.png"));
}

void LevelMap::addSign(std::size_t index, float y, float height) {
    const MapEntry& entry = entries_[index];
    auto& sign =
        place(createChild<ButtonNode>(true, "mapLevel" + entry.level, [this, index] { choose(index); }),
              AnchorCentre, 0.5f, y);
    sign.scale(height, height, 1.0f);
    sign.setMaterial(pictureMaterial("mapLevel", "hud/map/level.png"));
    signs_.push_back(&sign);

    auto& name = place(sign.createChild<TextLineNode>("mapName", "Oetztype", 24.0f, entry.displayName),
                       AnchorMiddleLeft, kNameX, kSignMiddleY);
    name.setColour(entry.unlocked ? kCream : kFaded);

    if (!entry.unlocked) {
        sign.setShade(kLockedShade);
        signPicture(sign, "mapLock", "mapLock", "hud/map/lock.png", kMedallionX, 0.56f);
        return;
    }
    auto& number =
        place(sign.createChild<TextLineNode>("mapNumber", "Oetztype", 26.0f, std::to_string(index + 1)),
              AnchorCentre, kMedallionX, kSignMiddleY);
    number.setColour(kCream);
    for (int star = 0; star < Progress::kMaxStars; ++star) {
        const bool won = star < entry.stars;
        signPicture(sign, won ? "mapStarFull" : "mapStarEmpty", won ? "mapStarFull" : "mapStarEmpty",
                    won ? "hud/map/star_full.png" : "hud/map/star_empty.png",
                    kFirstStarX + kStarSpacing * static_cast<float>(star), kStarHeight);
    }
}

void LevelMap::choose(std::size_t index) {
    if (index >= entries_.size())
        return;
    if (Scene* s = scene())
        playUiClick(*s);
    const MapEntry& entry = entries_[index];
    if (entry.unlocked) {
        message_->setText("");
        if (onChoose_)
            onChoose_(entry.level);
        return;
    }
    // Only the first level is open from the start, so a locked one always has one before it.
    const std::string& before = index > 0 ? entries_[index - 1].displayName : entry.displayName;
    message_->setText("Win " + before + " to open " + entry.displayName);
}

const std::string& LevelMap::message() const {
    return message_->text();
}

} // namespace hm
