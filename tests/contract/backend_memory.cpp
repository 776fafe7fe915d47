// Placeholder: the contract suites' in-memory backend factory.
