// The 2D node tree without a window: placement, anchors, the tree, display modes, the scene's
// draw order and the scene's update pass.
#include "ui/Node2D.h"

#include "scene/SceneTestNodes.h"
#include "support/LogCapture.h"

#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

namespace hm {
namespace {

using test::Journal;

// Writes its passes and hooks into a journal.
class RecordingNode2D : public Node2D {
public:
    RecordingNode2D(std::string name, Journal& journal) : Node2D(std::move(name)), journal(journal) {}
    void update(float dt) override { journal.push_back("update " + getName()); }
    void render(int pass) override { journal.push_back("render " + getName() + " " + std::to_string(pass)); }
    void onSceneChanged(Scene* scene) override {
        journal.push_back(std::string(scene ? "join " : "leave ") + getName());
    }
    void onWorldMatrixChanged(const glm::mat4& previous) override {
        previousWorld = previous;
        journal.push_back("world " + getName());
    }
    Journal& journal;
    glm::mat4 previousWorld{0.0f};
};

glm::vec2 screenPoint(const Node2D& node, float x, float y) {
    return glm::vec2(node.getWorldMatrix() * glm::vec4(x, y, 0.0f, 1.0f));
}

void expectNear(glm::vec2 actual, glm::vec2 expected, const std::string& what) {
    EXPECT_NEAR(actual.x, expected.x, 1e-6f) << what;
    EXPECT_NEAR(actual.y, expected.y, 1e-6f) << what;
}

TEST(Node2D, EachAnchorPutsItsPivotOnTheNodePosition) {
    // A node of size 0.5 x 0.5 at (0.5, 0.6): where its unit square lands for each anchor.
    const struct {
        std::int32_t anchor;
        glm::vec2 bottomLeft;
    } cases[] = {
        {0, {0.25f, 0.35f}}, {1, {0.5f, 0.1f}}, {2, {0.25f, 0.1f}}, {3, {0.0f, 0.1f}}, {4, {0.5f, 0.35f}},
        {5, {0.0f, 0.35f}},  {6, {0.5f, 0.6f}}, {7, {0.25f, 0.6f}}, {8, {0.0f, 0.6f}},
    };
    for (const auto& c : cases) {
        Node2D node("n");
        node.translate(0.5f, 0.6f, 0.0f);
        node.scale(0.5f, 0.5f, 1.0f);
        node.setAnchor(c.anchor);
        const std::string what = "anchor " + std::to_string(c.anchor);
        expectNear(screenPoint(node, 0, 0), c.bottomLeft, what);
        expectNear(screenPoint(node, 1, 1), c.bottomLeft + glm::vec2(0.5f), what);
    }
}

TEST(Node2D, AnUnknownAnchorKeepsThePreviousOneAndSaysSo) {
    test::LogCapture log;
    Node2D node("n");
    node.setAnchor(AnchorCentre);
    node.setAnchor(9);
    node.setAnchor(-1);
    expectNear(screenPoint(node, 0, 0), {-0.5f, -0.5f}, "still centred");
    EXPECT_EQ(log.messages(spdlog::level::warn),
              (std::vector<std::string>{"Node2D n ignores the unknown anchor 9.",
                                        "Node2D n ignores the unknown anchor -1."}));
}

TEST(Node2D, WorldMatricesFollowTheParentAndReportThePreviousOne) {
    Journal journal;
    RecordingNode2D parent("parent", journal);
    auto& child = parent.createChild<RecordingNode2D>("child", journal);
    parent.translate(0.2f, 0.1f, 0.0f);
    parent.scale(0.5f, 0.5f, 1.0f);
    child.translate(0.1f, 0.1f, 0.0f); // screen space: 0.2 in the half-sized parent's frame
    child.scale(0.5f, 0.5f, 1.0f);
    expectNear(screenPoint(child, 0, 0), {0.3f, 0.2f}, "child origin");
    expectNear(glm::vec2(child.getLocalMatrix()[3]), {0.2f, 0.2f}, "offset in the parent's frame");
    expectNear(screenPoint(child, 1, 1), {0.55f, 0.45f}, "child size");

    journal.clear();
    const glm::mat4 before = child.getWorldMatrix();
    parent.setTranslation({0.0f, 0.0f, 0.0f});
    EXPECT_EQ(journal, (Journal{"world parent", "world child"}));
    EXPECT_EQ(child.previousWorld, before);
    expectNear(screenPoint(child, 0, 0), {0.1f, 0.1f}, "after the parent moved");

    // Scaling keeps the translation; a centred anchor grows around the pivot.
    Node2D centred("c");
    centred.setAnchor(AnchorCentre);
    centred.setTranslation({0.5f, 0.5f, 0.0f});
    centred.scale(0.2f, 0.4f, 1.0f);
    expectNear(screenPoint(centred, 0, 0), {0.4f, 0.3f}, "centred bottom-left");
    expectNear(screenPoint(centred, 1, 1), {0.6f, 0.7f}, "centred top-right");
}

TEST(Node2D, ChildrenMoveBetweenParentsAndCyclesAreRefused) {
    test::LogCapture log;
    Node2D root("root");
    Node2D& a = root.createChild<Node2D>("a");
    Node2D& b = root.createChild<Node2D>("b");
    Node2D& leaf = a.createChild<Node2D>("leaf");
    b.createChild<Node2D>("leaf");

    EXPECT_EQ(root.findChild("root"), &root);
    EXPECT_EQ(root.findChild("leaf"), &leaf) << "depth first, children in order";
    EXPECT_EQ(root.findChild("nobody"), nullptr);

    // Out of one parent and into another.
    std::unique_ptr<Node2D> taken = a.releaseChild(&leaf);
    ASSERT_EQ(taken.get(), &leaf);
    EXPECT_EQ(leaf.parent(), nullptr);
    EXPECT_TRUE(a.children().empty());
    EXPECT_EQ(b.addChild(std::move(taken)), &leaf);
    EXPECT_EQ(leaf.parent(), &b);
    EXPECT_EQ(b.children().size(), 2u);
    EXPECT_EQ(a.releaseChild(&leaf), nullptr) << "not a child of a";

    // A node cannot go below itself; the tree stays as it was.
    EXPECT_EQ(leaf.addChild(std::unique_ptr<Node2D>(&b)), nullptr);
    EXPECT_EQ(b.parent(), &root);
    EXPECT_EQ(root.addChild(nullptr), nullptr);
    EXPECT_EQ(log.messages(spdlog::level::err),
              (std::vector<std::string>{"Node2D b cannot be added below itself.",
                                        "Node2D root was given no child to add."}));
}

TEST(Node2D, DestructionTakesTheSubtreeAndLeavesTheParent) {
    test::LogCapture log;
    Node2D root("root");
    Node2D& panel = root.createChild<Node2D>("panel");
    panel.createChild<Node2D>("label");
    root.createChild<Node2D>("other");
    delete &panel; // by hand while in the tree: the parent lets go of it
    ASSERT_EQ(root.children().size(), 1u);
    EXPECT_EQ(root.children()[0]->getName(), "other");
    EXPECT_EQ(log.messages(spdlog::level::debug),
              (std::vector<std::string>{"Node2D label deconstructed", "Node2D panel deconstructed"}));
    EXPECT_EQ(root.getTypeName(), "Node2D root");
}

TEST(Node2D, DisplayModesStopPassesAndInputForTheWholeSubtree) {
    const struct {
        DisplayMode mode;
        bool drawn, updated, input;
    } cases[] = {
        {DisplayMode::Active, true, true, true},
        {DisplayMode::Hidden, false, true, false},
        {DisplayMode::Frozen, true, false, true},
        {DisplayMode::Disabled, false, false, false},
    };
    for (const auto& c : cases) {
        Journal journal;
        RecordingNode2D root("root", journal);
        auto& panel = root.createChild<RecordingNode2D>("panel", journal);
        auto& button = panel.createChild<RecordingNode2D>("button", journal);
        root.createChild<RecordingNode2D>("after", journal);
        panel.setMode(c.mode);
        journal.clear();
        root.updatePass(0.1f);
        root.renderPass(4);

        Journal expected{"update root"};
        if (c.updated)
            expected.insert(expected.end(), {"update panel", "update button"});
        expected.insert(expected.end(), {"update after", "render root 4"});
        if (c.drawn)
            expected.insert(expected.end(), {"render panel 4", "render button 4"});
        expected.push_back("render after 4");
        const std::string what = "mode " + std::to_string(static_cast<int>(c.mode));
        EXPECT_EQ(journal, expected) << what;
        EXPECT_EQ(panel.acceptsInput(), c.input) << what;
        EXPECT_EQ(button.acceptsInput(), c.input) << what << " (from the parent)";
        EXPECT_TRUE(root.acceptsInput());
    }
}

TEST(Node2D, AnUpdateMayRemoveAnEarlierOrALaterSibling) {
    struct Remover : RecordingNode2D {
        using RecordingNode2D::RecordingNode2D;
        void update(float dt) override {
            RecordingNode2D::update(dt);
            if (victim)
                parent()->releaseChild(victim).reset();
            victim = nullptr;
        }
        Node2D* victim = nullptr;
    };
    struct Case {
        const char* victim;
        Journal updates;
    };
    const Case cases[] = {
        {"first", {"update first", "update remover", "update middle", "update last"}},
        {"middle", {"update first", "update remover", "update last"}},
        {"last", {"update first", "update remover", "update middle"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.victim);
        Journal journal;
        Node2D root("root");
        root.createChild<RecordingNode2D>("first", journal);
        auto& remover = root.createChild<Remover>("remover", journal);
        root.createChild<RecordingNode2D>("middle", journal);
        root.createChild<RecordingNode2D>("last", journal);
        remover.victim = root.findChild(c.victim);
        journal.clear();
        root.updatePass(0.0f);
        Journal updates;
        for (const auto& line : journal)
            if (line.rfind("update ", 0) == 0)
                updates.push_back(line);
        EXPECT_EQ(updates, c.updates) << "every remaining sibling is updated once";
        EXPECT_EQ(root.children().size(), 3u);
        EXPECT_EQ(root.findChild(c.victim), nullptr);
    }
}

class SceneDrawOrder : public testing::Test {
protected:
    std::vector<std::string> order() const {
        std::vector<std::string> names;
        for (const auto& [depth, node] : scene.drawOrder2D())
            names.push_back(node->getName() + "@" + std::to_string(static_cast<int>(depth)));
        return names;
    }
    test::TestScene scene{"ui"};
};

TEST_F(SceneDrawOrder, NodesFileThemselvesByDepthAndLeaveWithTheirSubtree) {
    Journal journal;
    auto root = std::make_unique<RecordingNode2D>("root", journal);
    auto& back = root->createChild<RecordingNode2D>("back", journal);
    auto& front = root->createChild<Node2D>("front");
    front.translate(0, 0, 2);
    front.createChild<Node2D>("label"); // inherits the parent's depth
    scene.setRoot2D(std::move(root));
    EXPECT_EQ(order(), (std::vector<std::string>{"root@0", "back@0", "front@2", "label@2"}));
    EXPECT_EQ(back.scene(), &scene);

    // A node whose depth changes is filed again; equal depths keep their filing order.
    back.translate(0, 0, 3);
    EXPECT_EQ(order(), (std::vector<std::string>{"root@0", "front@2", "label@2", "back@3"}));

    // A node added later joins; one taken out leaves with its children.
    scene.root2D()->createChild<Node2D>("late");
    std::unique_ptr<Node2D> gone = scene.root2D()->releaseChild(&front);
    EXPECT_EQ(gone->scene(), nullptr);
    EXPECT_EQ(gone->children()[0]->scene(), nullptr);
    EXPECT_EQ(order(), (std::vector<std::string>{"root@0", "late@0", "back@3"}));
    gone.reset();
    EXPECT_EQ(order(), (std::vector<std::string>{"root@0", "late@0", "back@3"}));
}

TEST_F(SceneDrawOrder, AReplacedRootLeavesTheDrawOrderBeforeItIsDestroyed) {
    test::LogCapture log;
    auto first = std::make_unique<Node2D>("first");
    first->createChild<Node2D>("firstChild");
    scene.setRoot2D(std::move(first));
    scene.setRoot2D(std::make_unique<Node2D>("second"));
    EXPECT_EQ(order(), (std::vector<std::string>{"second@0"}));
    EXPECT_EQ(scene.root2D()->getName(), "second");
    EXPECT_TRUE(log.contains("Node2D first deconstructed"));

    scene.setRoot2D(nullptr);
    EXPECT_EQ(scene.root2D()->getName(), "second");
    EXPECT_TRUE(log.contains("Scene ui was given no 2d root; the current one stays."));
}

} // namespace
} // namespace hm
