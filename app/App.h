// The application object: nothing of its own beyond the shared menu bar that start-up gives it.
#pragma once

#include "Application.h"

class App : public fw::Application {};
