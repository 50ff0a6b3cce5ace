// Shared by the loader tests: the shipped loader plug-ins, loaded once from
// build/bin/Plugins, and small helpers over the stand-in host.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "MvPlugin.h"
#include "StandInHost.h"

namespace mv::test {

using Node = StandInHost::Node;

/// The loader with that identifier from the shipped plug-ins. Libraries stay
/// loaded for the whole test run, as the host keeps them.
MvLoader& Loader(const std::string& identifier);

/// A node of width x height whose pixel (x, y) is f(x, y).
Node MakeNode(int width, int height, const std::function<MvPixel(int, int)>& f);

/// Reproducible noise with junk in bits 24-31, which writers must ignore.
Node NoiseNode(int width, int height, std::uint32_t seed);

/// CanLoadFile and LoadImage through `loader` into a fresh node of a fresh
/// host; nullopt when either refuses. `statuses` receives the status texts.
std::optional<Node> LoadFile(const std::string& path, const std::string& loader = "L_Images",
                             std::vector<StandInHost::Status>* statuses = nullptr);

/// SaveImage of `node` through `loader`.
bool SaveNode(const std::string& loader, const Node& node, const std::string& path);

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);

/// Same size and pixels, bits 24-31 of `expected` ignored; the message names
/// the first difference.
::testing::AssertionResult SamePixels(const Node& expected, const Node& actual);
/// Same size, every channel within `tolerance`.
::testing::AssertionResult NearPixels(const Node& expected, const Node& actual, int tolerance);

}  // namespace mv::test
