#include "xmla_client/xmla_session.h"

#include "xmla_client/md_dataset_reader.h"
#include "xmla_client/xmla_metadata.h"

namespace orvex::xmla_client {

XmlaSession::XmlaSession(std::shared_ptr<XmlaSource> source, int connect_timeout_seconds)
    : state_(std::make_shared<XmlaState>(std::move(source), connect_timeout_seconds)) {}

// Objects handed out may outlive the session; they go on without a server session.
XmlaSession::~XmlaSession() { state_->End(); }

std::vector<std::string> XmlaSession::CatalogNames() { return state_->CatalogNames(); }

std::shared_ptr<provider::CubeDefs> XmlaSession::GetCubeDefs(const std::string& catalog) {
  return CubeDefCollection(state_, catalog, state_->Cubes(catalog));
}

std::shared_ptr<provider::CellsetData> XmlaSession::Execute(const std::string& catalog, std::string_view mdx) {
  SoapReply reply = state_->Execute(catalog, std::string(mdx));
  return ReadMdDataSet(reply.root, state_, catalog);
}

provider::TabularData XmlaSession::Drillthrough(const std::string& catalog, std::string_view mdx) {
  SoapReply reply = state_->ExecuteRows(catalog, std::string(mdx));
  return ReadTabularRows(reply.root);
}

}  // namespace orvex::xmla_client
