// Stand-in until the body reader lands: nodes get no physics body.
#include "import/BodyProperties.h"

namespace hm {

void readBodyProperties(Node3D&, const aiNode&, const aiScene&, int) {}

} // namespace hm
