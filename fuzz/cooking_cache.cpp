// Fuzz harness for the physics cache: the file reader (header, sizes, checksum) and the decoders
// of what it returns, convex hulls and triangle meshes with their saved hierarchy. A mesh that is
// accepted is then used the way the game uses it: rays and box queries walk its hierarchy.
//
// The input is read as the bytes of a cache file of either kind, with the fingerprint taken from
// the file itself so that inputs get past that check; the same bytes are also handed straight
// to both decoders, so that payloads are explored without a matching checksum.

#include "FuzzSupport.h"

#include "physics/Cooking.h"
#include "physics/CookingCache.h"

#include <btBulletCollisionCommon.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// Collects the triangles a query reaches; the mesh interface must hand out real ones.
class CountTriangles : public btTriangleCallback {
public:
    void processTriangle(btVector3* triangle, int, int) override {
        for (int i = 0; i < 3; ++i)
            sum += triangle[i].x() + triangle[i].y() + triangle[i].z();
        ++count;
    }
    double sum = 0.0;
    int count = 0;
};

void useMesh(hm::CookedTriangleMesh& mesh) {
    btBvhTriangleMeshShape& shape = mesh.shape();
    btTransform identity;
    identity.setIdentity();
    btVector3 low, high;
    shape.getAabb(identity, low, high);
    CountTriangles all;
    shape.processAllTriangles(&all, low - btVector3(1, 1, 1), high + btVector3(1, 1, 1));

    btCollisionObject object;
    object.setCollisionShape(&shape);
    object.setWorldTransform(identity);
    const btVector3 centre = (low + high) * 0.5f;
    for (const btVector3& from :
         {btVector3(centre.x(), high.y() + 1, centre.z()), btVector3(low.x() - 1, centre.y(), centre.z()),
          btVector3(centre.x(), centre.y(), high.z() + 1)}) {
        btTransform start = identity, end = identity;
        start.setOrigin(from);
        end.setOrigin(centre * 2.0f - from);
        btCollisionWorld::ClosestRayResultCallback ray(start.getOrigin(), end.getOrigin());
        btCollisionWorld::rayTestSingle(start, end, &object, &shape, identity, ray);
    }
}

void decode(hm::CookedKind kind, const std::vector<std::uint8_t>& payload) {
    if (kind == hm::CookedKind::ConvexHull) {
        if (auto hull = hm::decodeHull(payload))
            (void)hm::hullVolume(*hull);
    } else if (auto mesh = hm::CookedTriangleMesh::fromPayload(payload)) {
        useMesh(*mesh);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    hm::fuzz::quietLogging();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> bytes(data, data + size);
    std::uint64_t source = 0;
    constexpr std::size_t kSourceOffset = 24; // where the header keeps the geometry fingerprint
    if (size >= kSourceOffset + sizeof(source))
        std::memcpy(&source, data + kSourceOffset, sizeof(source));
    for (const auto kind : {hm::CookedKind::ConvexHull, hm::CookedKind::TriangleMesh}) {
        if (auto payload = hm::cookedPayload(bytes, kind, source, "fuzz input"))
            decode(kind, *payload);
        decode(kind, bytes);
    }
    return 0;
}
