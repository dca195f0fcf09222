#pragma once
// The "Port" tab: choose, test and close the serial port the TOLA400 is connected to.

#include <functional>
#include <vector>

#include "serial/PortDiscovery.h"
#include "ui/pages/Page.h"

namespace tola {

class PortPage : public Page {
  Q_OBJECT

 public:
  PortPage(AppState& app, std::function<std::vector<PortInfo>()> listPorts, QWidget* parent = nullptr);

  QString HelpTopic() const override { return QStringLiteral("Port.htm"); }
};

}  // namespace tola
