// Writing the simulated client's records: each record's known members in a
// fixed order, members left at "absent" only where the format allows it, then
// the members the record did not know, as they were read.
#include "platform/sim/sim_client_format.h"

namespace quillon::platform::sim::client_file {

namespace {

// Members already written by name win over an `extra` of the same name.
void AppendExtra(Json& object, const Json& extra) {
  if (!extra.is_object()) return;
  for (auto it = extra.begin(); it != extra.end(); ++it) {
    if (!object.contains(it.key())) object[it.key()] = it.value();
  }
}

}  // namespace

Json ToJson(const SimOs& os) {
  Json o = Json::object();
  o["platformId"] = os.platformId;
  o["majorVersion"] = os.majorVersion;
  if (os.buildNumber) o["buildNumber"] = *os.buildNumber;
  o["error"] = os.error;
  if (os.environment) o["environment"] = *os.environment;
  AppendExtra(o, os.extra);
  return o;
}

Json ToJson(const SimPrinter& p) {
  Json o = Json::object();
  o["name"] = p.name;
  o["serverName"] = p.serverName;
  o["shareName"] = p.shareName;
  o["portName"] = p.portName;
  o["driverName"] = p.driverName;
  o["comment"] = p.comment;
  o["location"] = p.location;
  o["attributes"] = p.attributes;
  if (p.perMachine) o["perMachine"] = *p.perMachine;
  AppendExtra(o, p.extra);
  return o;
}

Json ToJson(const SimQueue& q) {
  Json o = Json::object();
  o["shareName"] = q.shareName;
  o["driverName"] = q.driverName;
  o["portName"] = q.portName;
  o["comment"] = q.comment;
  o["location"] = q.location;
  if (q.needsPrompt) o["needsPrompt"] = true;  // absent in files written before it existed
  if (q.driverVersion) o["driverVersion"] = *q.driverVersion;
  if (q.environments) o["environments"] = *q.environments;
  if (q.packageAware) o["packageAware"] = *q.packageAware;
  AppendExtra(o, q.extra);
  return o;
}

Json ToJson(const SimDriver& d) {
  if (d.bareName) return d.name;
  Json o = Json::object();
  o["name"] = d.name;
  o["driverPath"] = d.driverPath;
  o["dataFile"] = d.dataFile;
  o["configFile"] = d.configFile;
  o["environment"] = d.environment;
  o["version"] = d.version;
  if (d.driverVersion) o["driverVersion"] = *d.driverVersion;
  AppendExtra(o, d.extra);
  return o;
}

Json ToJson(const SimPointAndPrint& policy) {
  Json o = Json::object();
  if (policy.restrictDriverInstallationToAdministrators) {
    o["restrictDriverInstallationToAdministrators"] =
        *policy.restrictDriverInstallationToAdministrators;
  }
  AppendExtra(o, policy.extra);
  return o;
}

Json ToJson(const SimProfile& profile) {
  Json o = Json::object();
  o["userName"] = profile.userName;
  o["connections"] = profile.connections;
  AppendExtra(o, profile.extra);
  return o;
}

Json ToJson(const SimDirectoryQueue& q) {
  Json o = Json::object();
  o["name"] = q.name;
  o["printShareName"] = q.printShareName;
  AppendExtra(o, q.extra);
  return o;
}

Json ToJson(const SimFailure& f) {
  Json o = Json::object();
  o["call"] = f.call;
  if (f.name) o["name"] = *f.name;
  o["error"] = f.error;
  AppendExtra(o, f.extra);
  return o;
}

Json ToJson(const SimMessageBox& m) {
  Json o = Json::object();
  o["title"] = m.title;
  o["text"] = m.text;
  o["icon"] = m.icon;
  o["buttons"] = m.buttons;
  AppendExtra(o, m.extra);
  return o;
}

Json ToJson(const SimEvent& e) {
  Json o = Json::object();
  o["source"] = e.source;
  o["type"] = e.type;
  o["eventId"] = e.eventId;
  o["message"] = e.message;
  AppendExtra(o, e.extra);
  return o;
}

Json ToJson(const SimSpoolerCall& c) {
  Json o = Json::object();
  o["call"] = c.call;
  o["name"] = c.name;
  o["result"] = c.result;
  o["error"] = c.error;
  AppendExtra(o, c.extra);
  return o;
}

Json ToJson(const SimServerCondition& c) {
  Json o = Json::object();
  if (c.reachable) o["reachable"] = *c.reachable;
  if (c.latencyMs) o["latencyMs"] = *c.latencyMs;
  AppendExtra(o, c.extra);
  return o;
}

}  // namespace quillon::platform::sim::client_file
