// Model files on arbitrary bytes, through everything of the import that needs no OpenGL: the
// pre-check of the file, assimp's parse with its own structure validation, then our readers of
// node user properties (cameras, lights, physics bodies with their hull geometry) on every node.
// Nothing may crash, and no file may cost more than the import allows.
#include "FuzzSupport.h"

#include "import/BodyProperties.h"
#include "import/ModelImporter.h"
#include "import/ModelLimits.h"
#include "import/NodeProperties.h"
#include "render/CameraNode.h"
#include "render/LightNode.h"
#include "scene/EmptyNode.h"

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

namespace {

void readNode(hm::ModelImporter& importer, const aiNode& node, const aiScene& scene) {
    hm::EmptyNode target(node.mName.C_Str());
    hm::readBodyProperties(importer, target, node, scene);
    for (unsigned i = 0; i < scene.mNumCameras; ++i)
        if (scene.mCameras[i]->mName == node.mName)
            hm::createCamera(importer, *scene.mCameras[i], node);
    for (unsigned i = 0; i < scene.mNumLights; ++i)
        if (scene.mLights[i]->mName == node.mName)
            hm::createLight(*scene.mLights[i], node);
    for (unsigned i = 0; i < node.mNumChildren; ++i)
        readNode(importer, *node.mChildren[i], scene);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    hm::fuzz::quietLogging();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static hm::fuzz::ScratchFile file(".fbx");
    const std::string& path = file.write(data, size);
    if (!hm::checkModelLimits(path))
        return 0;
    Assimp::Importer parser;
    const aiScene* scene =
        parser.ReadFile(path, hm::ModelImporter::kPostProcessFlags | aiProcess_ValidateDataStructure);
    if (!scene || (scene->mFlags & AI_SCENE_FLAGS_INCOMPLETE) || !scene->mRootNode)
        return 0;
    // Collects what the readers hand back (hull nodes to skip, orbit cameras); no tree is built
    // here, so none of it is resolved.
    hm::ModelImporter importer;
    readNode(importer, *scene->mRootNode, *scene);
    return 0;
}
