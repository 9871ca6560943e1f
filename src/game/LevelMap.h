// The level map of the main menu: a board over the valley with one sign per level of the
// campaign, in order. A sign shows the level's number, its name and its best result as one to
// three stars; a level that is not open yet is dimmed and carries a lock, and clicking it says
// which win opens it. "Back" (or Escape, handled by the menu) closes the map.
//
// The map is a 2D subtree in screen units (x 0 left to 1 right, y 0 bottom to 1 top); a veil
// under it darkens the valley and keeps the pointer from the signs in the 3D world behind.
// Layout: the board is 0.9 of the window high, centred; the level signs stand in a column
// below its title, closer together when a campaign has more than three levels.
#pragma once

#include "ui/Node2D.h"

#include <functional>
#include <string>
#include <vector>

namespace hm {

class ButtonNode;
class Progress;
class TextLineNode;

struct MapEntry {
    std::string level;       // the level's name: its file and its scene
    std::string displayName; // what the player reads
    bool unlocked = false;
    int stars = 0; // best result; 0 when not won yet
};

// The campaign's levels whose files can be played, in order: what the map offers. A level whose
// file cannot be used is left out (its problems are in the log); the one after it then follows
// the one before it.
std::vector<std::string> playableLevels(const std::vector<std::string>& campaign);
// The map's entries for a campaign as the player's progress has it.
std::vector<MapEntry> campaignMap(const std::vector<std::string>& campaign, const Progress& progress);

class LevelMap : public Node2D {
public:
    using ChooseCallback = std::function<void(const std::string& level)>;
    using BackCallback = std::function<void()>;

    LevelMap(std::vector<MapEntry> entries, ChooseCallback onChoose, BackCallback onBack);

    // The click on a level's sign: an open level is handed to the choose callback; a locked one
    // shows why in the message line.
    void choose(std::size_t index);

    const std::vector<MapEntry>& entries() const { return entries_; }
    // The sign of entry index.
    ButtonNode& sign(std::size_t index) const { return *signs_.at(index); }
    ButtonNode& backButton() const { return *back_; }
    const std::string& message() const;

    // Where the map stands in screen units.
    static constexpr float kBoardHeight = 0.9f;
    static constexpr float kFirstSignY = 0.735f;
    static constexpr float kLowestSignY = 0.43f;
    static constexpr float kMessageY = 0.275f;
    static constexpr float kBackY = 0.165f;

private:
    void addSign(std::size_t index, float y, float height);

    std::vector<MapEntry> entries_;
    ChooseCallback onChoose_;
    std::vector<ButtonNode*> signs_;
    ButtonNode* back_ = nullptr;
    TextLineNode* message_ = nullptr;
};

} // namespace hm
