#include "scene/Node3D.h"

#include "scene/SceneTestNodes.h"
#include "support/LogCapture.h"

#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>

#include <functional>
#include <numbers>
#include <stdexcept>

namespace hm {
namespace {

using test::FakeBody;
using test::Journal;
using test::RecordingNode;

constexpr float kQuarterTurn = std::numbers::pi_v<float> / 2.0f;
const glm::vec3 kUp(0.0f, 1.0f, 0.0f);

void expectNear(const glm::vec3& actual, const glm::vec3& expected, const std::string& what) {
    EXPECT_NEAR(actual.x, expected.x, 1e-4f) << what;
    EXPECT_NEAR(actual.y, expected.y, 1e-4f) << what;
    EXPECT_NEAR(actual.z, expected.z, 1e-4f) << what;
}

void expectNear(const glm::mat4& actual, const glm::mat4& expected, const std::string& what) {
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            EXPECT_NEAR(actual[c][r], expected[c][r], 1e-4f) << what << " element (" << c << "," << r << ")";
}

// Every cached world matrix of the subtree equals the product of the local matrices above it.
void expectWorldMatricesCurrent(const Node3D& node, const glm::mat4& parentWorld, const std::string& what) {
    const glm::mat4 expected = parentWorld * node.getLocalMatrix();
    expectNear(node.getWorldMatrix(), expected, what + ", node " + node.getName());
    for (const auto& child : node.getChildren())
        expectWorldMatricesCurrent(*child, expected, what);
}

// The update lines of a journal (a node's update writes its bare name).
Journal updatesOnly(const Journal& journal) {
    Journal updates;
    for (const auto& line : journal)
        if (line.find(' ') == std::string::npos)
            updates.push_back(line);
    return updates;
}

// --- Transforms ---------------------------------------------------------------------------------

TEST(Node3DTransform, EveryOperationLeavesTheSubtreeCurrentAndPlacesTheNode) {
    // The parent sits at (10, 0, 0), turned a quarter about +Y, so local +X points to world -Z.
    struct Case {
        const char* name;
        std::function<void(Node3D&)> apply;
        glm::vec3 worldPosition;
    };
    const Case cases[] = {
        {"translate",
         [](Node3D& n) {
             n.translate({1, 0, 0});
         },
         {10, 0, -1}},
        {"transformLocal",
         [](Node3D& n) {
             n.transformLocal(glm::translate(glm::mat4(1), {1, 0, 0}));
         },
         {10, 0, -1}},
        {"translateGlobal",
         [](Node3D& n) {
             n.translateGlobal({1, 0, 0});
         },
         {11, 0, 0}},
        {"scale then translate",
         [](Node3D& n) {
             n.scale(2, 2, 2), n.translate({1, 0, 0});
         },
         {10, 0, -2}},
        {"rotate then translate",
         [](Node3D& n) {
             n.rotate(kUp, kQuarterTurn), n.translate({1, 0, 0});
         },
         {9, 0, 0}},
        {"rotateGlobal then translate",
         [](Node3D& n) {
             n.rotateGlobal(kUp, -kQuarterTurn), n.translate({1, 0, 0});
         },
         {11, 0, 0}},
        {"setWorldMatrix",
         [](Node3D& n) {
             n.setWorldMatrix(glm::translate(glm::mat4(1), {5, 5, 5}));
         },
         {5, 5, 5}},
        {"transformWorld",
         [](Node3D& n) {
             n.translate({1, 0, 0}), n.transformWorld(glm::translate(glm::mat4(1), {0, 3, 0}));
         },
         {10, 3, -1}},
        {"setLocalMatrix",
         [](Node3D& n) {
             n.setLocalMatrix(glm::translate(glm::mat4(1), {0, 0, 2}));
         },
         {12, 0, 0}},
    };
    for (const Case& c : cases) {
        test::Journal journal;
        EmptyNode root("root");
        root.translate({10, 0, 0});
        root.rotate(kUp, kQuarterTurn);
        Node3D& child = root.createChild<EmptyNode>("child");
        child.createChild<EmptyNode>("grandchild").translate({0, 1, 0});

        c.apply(child);

        expectNear(child.getWorldPosition(), c.worldPosition, c.name);
        expectWorldMatricesCurrent(root, glm::mat4(1.0f), c.name);
    }
}

TEST(Node3DTransform, ANodeWithoutParentHasItsLocalMatrixAsWorldMatrix) {
    EmptyNode node("lonely");
    node.translate({1, 2, 3});
    node.rotate(kUp, 0.3f);
    node.translateGlobal({0, 0, 4});
    node.rotateGlobal({1, 0, 0}, 0.2f);
    node.scale(1, 2, 3);
    expectNear(node.getWorldMatrix(), node.getLocalMatrix(), "parentless");
}

TEST(Node3DTransform, ReparentingKeepsLocalMatricesAndRecomputesTheWorldBelow) {
    EmptyNode root("root");
    Node3D& from = root.createChild<EmptyNode>("from");
    from.translate({1, 0, 0});
    Node3D& to = root.createChild<EmptyNode>("to");
    to.translate({0, 0, 5});
    to.rotate(kUp, kQuarterTurn);
    Node3D& moved = from.createChild<EmptyNode>("moved");
    moved.translate({2, 0, 0});
    Node3D& below = moved.createChild<EmptyNode>("below");
    below.translate({0, 1, 0});
    const glm::mat4 movedLocal = moved.getLocalMatrix();

    ASSERT_TRUE(moved.setParent(&to));

    EXPECT_EQ(moved.getParent(), &to);
    EXPECT_TRUE(from.getChildren().empty());
    ASSERT_EQ(to.getChildren().size(), 1u);
    expectNear(moved.getLocalMatrix(), movedLocal, "local kept");
    expectNear(below.getWorldPosition(), {0, 1, 3}, "grandchild follows");
    expectWorldMatricesCurrent(root, glm::mat4(1.0f), "after re-parenting");
}

TEST(Node3DTransform, SetWorldMatrixUnderACollapsedParentIsRefusedWithAWarning) {
    test::LogCapture log;
    EmptyNode root("flat");
    root.scale(0, 1, 1);
    Node3D& child = root.createChild<EmptyNode>("child");
    child.setWorldMatrix(glm::translate(glm::mat4(1), {1, 2, 3}));
    child.translateGlobal({1, 0, 0});
    EXPECT_EQ(log.messages(spdlog::level::warn).size(), 2u);
    expectNear(child.getLocalMatrix(), glm::mat4(1.0f), "unchanged");
}

// --- Tree operations ----------------------------------------------------------------------------

TEST(Node3DTree, SetParentWithTheCurrentParentDoesNothing) {
    Journal journal;
    RecordingNode root("root", journal);
    RecordingNode& child = root.createChild<RecordingNode>("child", journal);
    journal.clear();
    EXPECT_TRUE(child.setParent(&root));
    EXPECT_TRUE(journal.empty());
    EXPECT_EQ(root.getChildren().size(), 1u);
}

TEST(Node3DTree, ASubtreeJoiningASceneHearsItParentsBeforeChildren) {
    Journal journal;
    test::TestScene scene("s");
    auto rootOwned = std::make_unique<RecordingNode>("root", journal);
    RecordingNode& root = *rootOwned;
    scene.setRoot3D(std::move(rootOwned));
    EXPECT_EQ(root.getScene(), &scene);

    auto a = std::make_unique<RecordingNode>("a", journal);
    a->createChild<RecordingNode>("b", journal);
    a->createChild<RecordingNode>("c", journal).createChild<RecordingNode>("d", journal);
    journal.clear();

    Node3D* added = root.addChild(std::move(a));

    Journal sceneCalls;
    for (const auto& line : journal)
        if (line.rfind("scene ", 0) == 0)
            sceneCalls.push_back(line);
    EXPECT_EQ(sceneCalls, (Journal{"scene a", "scene b", "scene c", "scene d"}));
    EXPECT_EQ(added->findByName("d")->getScene(), &scene);

    // Leaving: detach tells the whole subtree and hands it back.
    journal.clear();
    std::unique_ptr<Node3D> back = added->detach();
    ASSERT_EQ(back.get(), added);
    EXPECT_EQ(back->findByName("d")->getScene(), nullptr);
    EXPECT_EQ(journal.front(), "scene a");
    EXPECT_TRUE(root.getChildren().empty());
}

TEST(Node3DTree, WindowDescentStopsAtNodesThatAlreadyHoldTheWindow) {
    Journal journal;
    int fakeWindowStorage = 0; // only the address matters: nodes never use the window themselves
    Window* window = reinterpret_cast<Window*>(&fakeWindowStorage);
    RecordingNode root("root", journal);
    RecordingNode& a = root.createChild<RecordingNode>("a", journal);
    a.createChild<RecordingNode>("a1", journal);
    RecordingNode& b = root.createChild<RecordingNode>("b", journal);
    b.setWindow(window);
    journal.clear();
    root.setWindow(window);
    EXPECT_EQ(journal, (Journal{"window root", "window a", "window a1"}));
}

TEST(Node3DTree, DetachReplaceWithAndAddSibling) {
    Journal journal;
    EmptyNode root("root");
    Node3D& slot = root.createChild<EmptyNode>("slot");
    slot.translate({3, 0, 0});
    NodeRef<Node3D> slotRef(&slot);

    auto sibling = std::make_unique<EmptyNode>("sibling");
    Node3D* siblingRaw = sibling.get();
    EXPECT_TRUE(slot.addSibling(std::move(sibling)));
    expectNear(siblingRaw->getWorldPosition(), {3, 0, 0}, "sibling takes the place");

    auto replacement = std::make_unique<EmptyNode>("replacement");
    Node3D* replacementRaw = replacement.get();
    EXPECT_TRUE(slot.replaceWith(std::move(replacement)));
    EXPECT_FALSE(slotRef) << "the replaced node is destroyed";
    ASSERT_EQ(root.getChildren().size(), 2u);
    EXPECT_EQ(root.getChildren()[0].get(), siblingRaw);
    EXPECT_EQ(root.getChildren()[1].get(), replacementRaw);
    EXPECT_EQ(replacementRaw->getParent(), &root);
    expectNear(replacementRaw->getWorldPosition(), {3, 0, 0}, "replacement takes the place");

    // Without a parent there is no place to take.
    EmptyNode orphan("orphan");
    EXPECT_FALSE(orphan.addSibling(std::make_unique<EmptyNode>("x")));
    EXPECT_FALSE(orphan.replaceWith(std::make_unique<EmptyNode>("y")));

    std::unique_ptr<Node3D> released = root.releaseChild(siblingRaw);
    EXPECT_EQ(released.get(), siblingRaw);
    EXPECT_EQ(released->getParent(), nullptr);
    EXPECT_EQ(root.getChildren().size(), 1u);
    EXPECT_FALSE(root.removeChild(siblingRaw)) << "no longer below root";
    EXPECT_TRUE(root.removeChild(replacementRaw));
    EXPECT_TRUE(root.getChildren().empty());
}

TEST(Node3DTree, CyclesAndNullsAreRefusedWithAnError) {
    test::LogCapture log;
    std::unique_ptr<Node3D> rootOwned = std::make_unique<EmptyNode>("root");
    Node3D* root = rootOwned.get();
    Node3D& child = root->createChild<EmptyNode>("child");
    Node3D& grandchild = child.createChild<EmptyNode>("grandchild");

    EXPECT_FALSE(child.setParent(&grandchild));
    EXPECT_FALSE(child.setParent(&child));
    EXPECT_FALSE(child.setParent(nullptr));
    EXPECT_EQ(root->addChild(nullptr), nullptr);
    // Handing the root to its own grandchild would make a cycle; the tree stays as it was and
    // ownership is not taken (the test takes it back).
    EXPECT_EQ(grandchild.addChild(std::move(rootOwned)), nullptr);
    rootOwned.reset(root);

    EXPECT_EQ(log.messages(spdlog::level::err).size(), 5u);
    EXPECT_EQ(child.getParent(), root);
    EXPECT_TRUE(grandchild.getChildren().empty());
}

// --- Update pass and deferred destruction -----------------------------------------------------------

TEST(Node3DUpdate, ChildrenMayDeleteThemselvesOrSiblingsDuringTheirUpdate) {
    // "root" (below a silent holder) has children a, b, c, d, visited from the last to the
    // first; c acts in its first update. Each node's update writes its name.
    struct Fixture {
        Journal journal;
        EmptyNode holder{"holder"};
        RecordingNode* root = &holder.createChild<RecordingNode>("root", journal);
        RecordingNode* child(const std::string& name) {
            return static_cast<RecordingNode*>(holder.findByName(name));
        }
    };
    struct Case {
        const char* name;
        std::function<void(Fixture&, RecordingNode& c)> act;
        Journal firstFrame;
        Journal secondFrame;
    };
    const Case cases[] = {
        {"c deletes itself",
         [](Fixture&, RecordingNode& c) { c.destroy(false); },
         {"root", "d", "c", "b", "a"},
         {"root", "d", "b", "a"}},
        {"c defers its own deletion",
         [](Fixture&, RecordingNode& c) { c.destroy(true); },
         {"root", "d", "c", "b", "a"},
         {"root", "d", "b", "a"}},
        {"c deletes the earlier sibling a",
         [](Fixture& f, RecordingNode&) { f.child("a")->destroy(false); },
         {"root", "d", "c", "b"},
         {"root", "d", "c", "b"}},
        {"c deletes the earlier siblings a and b",
         [](Fixture& f, RecordingNode&) {
             f.root->removeChild(f.child("a")), f.root->removeChild(f.child("b"));
         },
         {"root", "d", "c"},
         {"root", "d", "c"}},
        {"c deletes the later sibling d",
         [](Fixture& f, RecordingNode&) { f.child("d")->destroy(false); },
         {"root", "d", "c", "b", "a"},
         {"root", "c", "b", "a"}},
        {"c deletes its parent",
         [](Fixture& f, RecordingNode&) { f.root->destroy(false); },
         {"root", "d", "c", "b", "a"},
         {}},
        {"c replaces itself",
         [](Fixture& f, RecordingNode& c) { c.replaceWith(std::make_unique<RecordingNode>("e", f.journal)); },
         {"root", "d", "c", "b", "a"},
         {"root", "e", "d", "b", "a"}},
        {"c adds a sibling",
         [](Fixture& f, RecordingNode&) { f.root->createChild<RecordingNode>("e", f.journal); },
         {"root", "d", "c", "b", "a"},
         {"root", "e", "d", "c", "b", "a"}},
    };
    for (const Case& c : cases) {
        Fixture f;
        for (const char* name : {"a", "b", "c", "d"})
            f.root->createChild<RecordingNode>(name, f.journal);
        bool acted = false;
        f.child("c")->onUpdate = [&](RecordingNode& self) {
            if (!std::exchange(acted, true))
                c.act(f, self);
        };
        f.journal.clear();
        f.holder.updateTree(0.016f);
        EXPECT_EQ(updatesOnly(f.journal), c.firstFrame) << c.name << ", first frame";
        f.journal.clear();
        f.holder.updateTree(0.016f);
        EXPECT_EQ(updatesOnly(f.journal), c.secondFrame) << c.name << ", second frame";
    }
}

TEST(Node3DUpdate, ANodeWithoutParentCannotDeleteItselfAndSaysSo) {
    test::LogCapture log;
    Journal journal;
    RecordingNode root("root", journal);
    root.destroy(true);
    root.updateTree(0.1f);
    root.updateTree(0.1f);
    EXPECT_EQ(log.messages(spdlog::level::warn),
              (std::vector<std::string>{"Node root has no parent to delete it; its owner has to."}));
    EXPECT_EQ(journal, (Journal{"root"})) << "skipped once, then updated again";
}

TEST(Node3DUpdate, APickingCallbackMayDeleteItsOwnNode) {
    EmptyNode root("root");
    Node3D& button = root.createChild<EmptyNode>("button");
    int clicks = 0;
    button.setClickCallback([&] {
        ++clicks;
        root.removeChild(&button);
    });
    button.onClick({0, 0}, {0, 0, 0}, {0, 1, 0});
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(root.getChildren().empty());
}

// --- Copies and searches ------------------------------------------------------------------------

TEST(Node3DCopy, CopyNamesCountTheIndexUp) {
    const std::pair<const char*, const char*> cases[] = {
        {"tower", "tower[0001]"},
        {"tower[0001]", "tower[0002]"},
        {"crate[07]", "crate[08]"},
        {"gate[x]", "gate[x][0001]"},
        {"gate[0]", "gate[1]"},
        {"gate[9]", "gate[10]"},
        {"gate[]", "gate[][0001]"},
        {"big[99999999999]", "big[99999999999][0001]"},
        {"", "[0001]"},
    };
    for (const auto& [source, expected] : cases) {
        EmptyNode node(source);
        EXPECT_EQ(node.copy()->getName(), expected) << "copy of '" << source << "'";
    }
}

TEST(Node3DCopy, ACopyIsADeepDetachedTreeWithoutPropertiesOrCallbacks) {
    Journal journal;
    EmptyNode root("root");
    root.translate({0, 0, 9});
    Node3D& tower = root.createChild<EmptyNode>("tower");
    tower.translate({1, 0, 0});
    tower.setProperty("Health", std::make_unique<Property>(std::int32_t{5}));
    int clicks = 0;
    tower.setClickCallback([&] { ++clicks; });
    tower.setBody(std::make_unique<FakeBody>(journal));
    tower.createChild<EmptyNode>("roof").translate({0, 2, 0});

    journal.clear();
    std::unique_ptr<Node3D> copy = tower.copy();

    EXPECT_EQ(copy->getName(), "tower[0001]");
    EXPECT_EQ(copy->getParent(), nullptr);
    EXPECT_EQ(copy->getProperty("Health"), nullptr);
    copy->onClick({0, 0}, {0, 0, 0}, {0, 1, 0});
    EXPECT_EQ(clicks, 0);
    expectNear(copy->getWorldMatrix(), glm::mat4(1.0f), "identity until attached");
    ASSERT_NE(copy->getBody(), nullptr);
    EXPECT_EQ(copy->getBody()->owner(), copy.get());
    EXPECT_EQ(journal.front(), "copy for tower[0001]");
    ASSERT_EQ(copy->getChildren().size(), 1u);
    EXPECT_EQ(copy->getChildren()[0]->getName(), "roof[0001]");
    EXPECT_EQ(copy->getChildren()[0]->getParent(), copy.get());

    Node3D* placed = root.addChild(std::move(copy));
    expectNear(placed->findByName("roof[0001]")->getWorldPosition(), {1, 2, 9}, "attached copy");
}

// A node that counts its living instances; a "fragile" one cannot be copied.
class CountedNode : public EmptyNode {
public:
    CountedNode(std::string name, int& alive, bool fragile = false)
        : EmptyNode(std::move(name)), alive_(alive), fragile_(fragile) {
        ++alive_;
    }
    CountedNode(const CountedNode& source) : EmptyNode(source), alive_(source.alive_), fragile_(false) {
        ++alive_;
    }
    ~CountedNode() override { --alive_; }
    std::unique_ptr<Node3D> copy() const override {
        if (fragile_)
            throw std::runtime_error("no copy");
        return std::unique_ptr<Node3D>(new CountedNode(*this));
    }

private:
    int& alive_;
    bool fragile_;
};

TEST(Node3DCopy, AChildThatCannotBeCopiedLeavesNoHalfBuiltCopyBehind) {
    // The failing child sits at each place among its siblings in turn.
    for (std::size_t failingAt = 0; failingAt < 4; ++failingAt) {
        SCOPED_TRACE(failingAt);
        int alive = 0;
        {
            CountedNode tower("tower", alive);
            for (std::size_t i = 0; i < 4; ++i) {
                auto& child =
                    tower.createChild<CountedNode>("part" + std::to_string(i), alive, i == failingAt);
                child.createChild<CountedNode>("bolt", alive);
            }
            ASSERT_EQ(alive, 9);
            EXPECT_THROW(tower.copy(), std::runtime_error);
            // Every node the failed copy had built is gone again, the original is untouched.
            EXPECT_EQ(alive, 9);
            ASSERT_EQ(tower.getChildren().size(), 4u);
            for (const auto& child : tower.getChildren())
                EXPECT_EQ(child->getParent(), &tower);
        }
        EXPECT_EQ(alive, 0);
    }
}

TEST(Node3DCopy, APlainNode3DCannotBeCopied) {
    struct Bare : Node3D {
        Bare() : Node3D("bare") {}
        void onSceneChanged(Scene*) override {}
        void onWindowChanged(Window*) override {}
        void render(float, int) override {}
        void update(float) override {}
    } bare;
    try {
        bare.copy();
        FAIL() << "copy did not throw";
    } catch (const std::logic_error& error) {
        EXPECT_STREQ(error.what(), "Node 3D is a pure virtual function and doesn't need a copy function");
    }
}

TEST(Node3DSearch, BaseNamesAndCollections) {
    Journal journal;
    EmptyNode root("root");
    Node3D& enemies = root.createChild<EmptyNode>("enemy");
    enemies.createChild<EmptyNode>("enemy[0001]");
    enemies.createChild<EmptyNode>("enemy_big");
    root.createChild<EmptyNode>("enemy[12]");
    root.createChild<EmptyNode>("enemy[x]");

    std::vector<Node3D*> found;
    root.findAllByBaseName("enemy", found);
    std::vector<std::string> names;
    for (Node3D* node : found)
        names.push_back(node->getName());
    EXPECT_EQ(names, (std::vector<std::string>{"enemy", "enemy[0001]", "enemy[12]"}));

    // Mode 1 skips nodes without a body but still looks below them; the last namesake wins.
    Node3D& base = root.createChild<EmptyNode>("base");
    Node3D& first = base.createChild<EmptyNode>("pad");
    first.setBody(std::make_unique<FakeBody>(journal));
    Node3D& second = root.createChild<EmptyNode>("pad");
    second.setBody(std::make_unique<FakeBody>(journal));
    std::map<std::string, Node3D*> withBodies;
    root.collectByName(withBodies, Node3D::CollectMode::WithBody);
    ASSERT_EQ(withBodies.size(), 1u);
    EXPECT_EQ(withBodies["pad"], &second);

    std::map<std::string, Node3D*> all;
    root.collectByName(all, Node3D::CollectMode::All);
    EXPECT_EQ(all.size(), 8u);
    EXPECT_EQ(root.findByName("enemy_big")->getParent(), &enemies);
    EXPECT_EQ(root.findByName("Enemy_big"), nullptr);
}

// --- Body seam ----------------------------------------------------------------------------------

TEST(Node3DBodySeam, TheNodeKeepsItsBodyInformed) {
    Journal journal;
    bool firstDestroyed = false;
    EmptyNode root("root");
    Node3D& node = root.createChild<EmptyNode>("crate");
    node.setBody(std::make_unique<FakeBody>(journal, &firstDestroyed));
    EXPECT_EQ(node.getBody()->owner(), &node);

    journal.clear();
    root.translate({1, 0, 0});
    EXPECT_EQ(journal, (Journal{"pose crate"})) << "a parent's move moves the body too";

    test::TestScene scene("s");
    journal.clear();
    root.setScene(&scene);
    EXPECT_EQ(journal, (Journal{"addToScene crate"}));
    root.setScene(nullptr);

    node.setBody(std::make_unique<FakeBody>(journal));
    EXPECT_TRUE(firstDestroyed) << "a replaced body is deleted";
    node.setBody(nullptr);
    EXPECT_EQ(node.getBody(), nullptr);
}

TEST(Node3DRef, ReadsNullOnceTheNodeIsGone) {
    EmptyNode root("root");
    NodeRef<Node3D> ref(&root.createChild<EmptyNode>("target"));
    EXPECT_NE(ref.get(), nullptr);
    root.removeChild(ref.get());
    EXPECT_EQ(ref.get(), nullptr);
    EXPECT_FALSE(NodeRef<Node3D>());
}

} // namespace
} // namespace hm
