namespace versalo::test {}
