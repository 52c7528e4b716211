#pragma once
// Fixture for window tests: an initialised application and a shown form
// (deleted at the end unless the test deleted it and set form to null).
#include <gtest/gtest.h>

#include "framework/Application.h"
#include "framework/Forms.h"

class FormTest : public testing::Test {
 protected:
  void SetUp() override {
    Application->Initialize();
    form = new TForm(nullptr);
    form->SetBounds(40, 40, 500, 400);
    form->Show();
    Pump();
  }
  void TearDown() override {
    delete form;
    Pump();
  }
  // Handles every message waiting now, as a test of Wine's conformance suite flushes.
  static void Pump() { Application->ProcessMessages(); }

  TForm* form = nullptr;
};
