// Base of nodes and scenes: a bag of typed properties by name, owned by the holder.
#pragma once

#include "scene/Property.h"

#include <memory>
#include <string>
#include <unordered_map>

namespace hm {

class PropertyHolder {
public:
    PropertyHolder() = default;
    // Properties belong to one holder; copies of nodes start without them.
    PropertyHolder(const PropertyHolder&) : PropertyHolder() {}
    PropertyHolder& operator=(const PropertyHolder&) = delete;
    virtual ~PropertyHolder() = default;

    // Stores the property under the name, releasing one that was there. Null does nothing.
    void setProperty(const std::string& name, std::unique_ptr<Property> property);
    // Null when there is no property of that name.
    const Property* getProperty(const std::string& name) const;
    std::size_t propertyCount() const { return properties_.size(); }

private:
    std::unordered_map<std::string, std::unique_ptr<Property>> properties_;
};

} // namespace hm
