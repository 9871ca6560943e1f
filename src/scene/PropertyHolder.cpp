#include "scene/PropertyHolder.h"

namespace hm {

void PropertyHolder::setProperty(const std::string& name, std::unique_ptr<Property> property) {
    if (property)
        properties_[name] = std::move(property);
}

const Property* PropertyHolder::getProperty(const std::string& name) const {
    auto it = properties_.find(name);
    return it == properties_.end() ? nullptr : it->second.get();
}

} // namespace hm
