#pragma once
#include <memory>
#include <string>
#include <vector>

#include "provider/collection.h"
#include "provider/properties.h"

// The cube metadata of a provider, shaped like the multidimensional object
// library the object model was written for. Every object is immutable to its
// callers and may be shared; objects keep what they need alive themselves.
namespace orvex::provider {

class Member;
class Level;
class Hierarchy;
class Dimension;
class CubeDef;
using Members = Collection<Member>;
using Levels = Collection<Level>;
using Hierarchies = Collection<Hierarchy>;
using Dimensions = Collection<Dimension>;
using CubeDefs = Collection<CubeDef>;

class Member {
 public:
  virtual ~Member() = default;
  virtual std::string Name() const = 0;
  virtual std::string UniqueName() const = 0;
  virtual std::string Caption() const = 0;
  virtual std::string Description() const { return ""; }
  // 0 for the top level of the hierarchy (the all level where there is one).
  virtual int LevelDepth() const = 0;
  virtual std::string LevelName() const = 0;
  // The parent member; nullptr at the top level.
  virtual std::shared_ptr<Member> Parent() const = 0;
  virtual int ChildCount() const = 0;
  virtual std::shared_ptr<Members> Children() const = 0;
  virtual const Properties& GetProperties() const = 0;
};

class Level {
 public:
  virtual ~Level() = default;
  virtual std::string Name() const = 0;
  virtual std::string UniqueName() const = 0;
  virtual std::string Caption() const = 0;
  virtual std::string Description() const = 0;
  virtual int Depth() const = 0;
  virtual const Properties& GetProperties() const = 0;
  // Every member of the level, in hierarchy order.
  virtual std::shared_ptr<Members> GetMembers() const = 0;
};

class Hierarchy {
 public:
  virtual ~Hierarchy() = default;
  // Empty for the unnamed hierarchy of a dimension that has only one.
  virtual std::string Name() const = 0;
  virtual std::string UniqueName() const = 0;
  virtual std::string Caption() const = 0;
  virtual std::string Description() const = 0;
  // Holds "DEFAULT_MEMBER": the unique name of the hierarchy's default member.
  virtual const Properties& GetProperties() const = 0;
  virtual std::shared_ptr<Levels> GetLevels() const = 0;
};

class Dimension {
 public:
  virtual ~Dimension() = default;
  virtual std::string Name() const = 0;
  virtual std::string UniqueName() const = 0;
  virtual std::string Description() const = 0;
  virtual const Properties& GetProperties() const = 0;
  virtual std::shared_ptr<Hierarchies> GetHierarchies() const = 0;
};

// A set formula the cube defines under a name, for statements to use.
struct NamedSet {
  std::string name;
  std::string unique_name;  // "[Name]"
  std::string caption;
  std::string expression;  // MDX
};

class CubeDef {
 public:
  virtual ~CubeDef() = default;
  virtual std::string Name() const = 0;
  virtual std::string Description() const = 0;
  virtual const Properties& GetProperties() const = 0;
  // The measures are the dimension named "Measures", with one hierarchy and one level.
  virtual std::shared_ptr<Dimensions> GetDimensions() const = 0;
  // The cube's named sets; none where the provider knows of none.
  virtual std::vector<NamedSet> GetNamedSets() const { return {}; }
};

}  // namespace orvex::provider
