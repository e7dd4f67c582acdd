#pragma once

#include <optional>
#include <string>
#include <vector>

// Where an item of the outline may go, and the key it takes there: the one set of rules that
// the move itself, the drop check as the pointer moves and the outline's menu and keys all ask.
namespace quillet::moves {

// Where an item goes.
struct Place
{
    enum class Kind {
        Under,  // the last child of the item with the key
        Before, // just before the item with the key, among its siblings
        After,  // just after it
        Top,    // the last top-level item
    };
    Kind kind = Kind::Top;
    std::string key;

    bool operator==(const Place &) const = default;
};

// One step of an item by the outline's keys and menu.
enum class Step {
    Up,   // before the sibling above
    Down, // after the sibling below
    Out,  // after its parent
    In,   // the last child of the sibling above
};

// The outline as the rules read it: the rows of the file, for the move itself, or the nodes on
// the screen, for the checks made as the user points. Keys are without the spaces around them.
class Shape
{
public:
    virtual ~Shape() = default;
    // Whether an item has the key.
    virtual bool has(const std::string &key) const = 0;
    // The keys of the item's children in their order (an empty parent: the top-level items).
    virtual std::vector<std::string> childrenOf(const std::string &parent) const = 0;
    // How many levels the item's subtree goes below it: 0 for an item without children.
    virtual int levelsBelow(const std::string &key) const = 0;
    // The keys whose numbers a new child of parent may not take: its children's, unless rows
    // the outline leaves out hold some too.
    virtual std::vector<std::string> numberedUnder(const std::string &parent) const
    {
        return childrenOf(parent);
    }
};

// What the rules say of a move.
struct Verdict
{
    std::string newKey;  // the key the item takes there (its own, where its parent stays)
    std::string refusal; // why it cannot go there, in words for the user; empty when it can

    bool allowed() const { return refusal.empty(); }
};

// Whether the item with the key may go to the place. Refused: an item or place that is not
// there, the first item "A", anything before it, the item beside itself, a place in its own
// subtree, a new parent with no free number (nine children, or every top-level key taken),
// and a place where a row would lie deeper than the outline goes (keys::kMaxLevels).
Verdict judge(const Shape &outline, const std::string &key, const Place &place);

// The key of the item the place puts an item under; empty for the top level.
std::string parentOf(const Place &place);

// The place one step takes the item to, among its siblings as the outline orders them; nothing
// at the edge of its siblings (up, down and in), or out of a top-level item.
std::optional<Place> placeOf(const Shape &outline, const std::string &key, Step step);

// Where one step takes the item, or why it cannot go there: at the edge of its siblings (up,
// down, in), out of a top-level item, or a place the rules refuse (judge); in words for the
// user.
struct StepVerdict
{
    std::optional<Place> place; // where the step goes; nothing when refused
    std::string refusal;
};
StepVerdict stepTo(const Shape &outline, const std::string &key, Step step);

// The key a new child of parent (empty: a new top-level item) takes by the rule of adding,
// given the keys numbered under it (Shape::numberedUnder); nothing when the parent has no free
// number.
std::optional<std::string> newChildKey(const std::string &parent,
                                       const std::vector<std::string> &children);

} // namespace quillet::moves
