#include "scene/PropertyHolder.h"

#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <cstring>

namespace hm {
namespace {

TEST(Property, RawValuesAreCopiedByType) {
    const std::int32_t intValue = -42;
    const float floatValue = 2.5f;
    const float vecValue[3] = {1.0f, -2.0f, 3.5f};
    char text[] = "Stone";

    Property asInt(PropertyType::Int, reinterpret_cast<const char*>(&intValue));
    Property asFloat(PropertyType::Float, reinterpret_cast<const char*>(&floatValue));
    Property asString(PropertyType::String, text);
    Property asVec3(PropertyType::Vec3, reinterpret_cast<const char*>(vecValue));
    std::strcpy(text, "Grass"); // the property keeps its own copy

    ASSERT_TRUE(asInt.asInt() && asFloat.asFloat() && asString.asString() && asVec3.asVec3());
    EXPECT_EQ(*asInt.asInt(), -42);
    EXPECT_EQ(*asFloat.asFloat(), 2.5f);
    EXPECT_EQ(*asString.asString(), "Stone");
    EXPECT_EQ(*asVec3.asVec3(), glm::vec3(1.0f, -2.0f, 3.5f));
    // Reading as another type gives nothing rather than reinterpreted bytes.
    EXPECT_EQ(asInt.asFloat(), nullptr);
    EXPECT_EQ(asString.asVec3(), nullptr);

    asInt.setValue(PropertyType::String, "now text");
    EXPECT_EQ(asInt.type(), PropertyType::String);
    EXPECT_EQ(asInt.asInt(), nullptr);
    EXPECT_EQ(*asInt.asString(), "now text");
}

TEST(Property, MissingSourceOrUnknownTypeLeavesNoDataAndSaysWhy) {
    test::LogCapture log;
    const std::int32_t value = 1;
    Property noSource(PropertyType::Float, nullptr);
    Property unknown(static_cast<PropertyType>(7), reinterpret_cast<const char*>(&value));
    EXPECT_FALSE(noSource.hasData());
    EXPECT_FALSE(unknown.hasData());
    EXPECT_EQ(log.messages(spdlog::level::err).size(), 2u);
}

TEST(PropertyHolder, StoresReplacesAndIgnoresNull) {
    PropertyHolder holder;
    holder.setProperty("Speed", std::make_unique<Property>(1.5f));
    holder.setProperty("Speed", std::make_unique<Property>(std::int32_t{3}));
    holder.setProperty("Speed", nullptr);
    ASSERT_NE(holder.getProperty("Speed"), nullptr);
    EXPECT_EQ(*holder.getProperty("Speed")->asInt(), 3);
    EXPECT_EQ(holder.getProperty("speed"), nullptr);
    EXPECT_EQ(holder.propertyCount(), 1u);
}

} // namespace
} // namespace hm
